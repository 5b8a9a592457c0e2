#pragma once

class QWidget;

// Places a window in the middle of its screen: top = (screen height − window
// height) / 2, left likewise, by its outer size, truncating toward zero.
void centreOnScreen(QWidget* window);
