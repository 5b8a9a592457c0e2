#pragma once

class QWidget;

// Places a window in the middle of the available area of the screen it is on
// (without panels and docks), by its outer size. One larger than that area
// starts at its top-left corner instead.
void centreOnScreen(QWidget* window);
