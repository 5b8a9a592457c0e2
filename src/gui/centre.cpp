#include "gui/centre.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    // The available area leaves out panels and docks. A window larger than it
    // keeps its size but starts at the area's corner, so its title bar stays
    // reachable.
    const QRect area = screen->availableGeometry();
    const QSize frame = window->frameGeometry().size();
    const int x = area.left() + std::max(0, (area.width() - frame.width()) / 2);
    const int y = area.top() + std::max(0, (area.height() - frame.height()) / 2);
    window->move(x, y);
}
