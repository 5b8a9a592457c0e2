#include "gui/centre.h"

#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QSize s = screen->size();
    const QRect frame = window->frameGeometry();
    window->move((s.width() - frame.width()) / 2, (s.height() - frame.height()) / 2);
}
