#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>

// The widget of type T with this object name in any top-level window (the
// window itself included); null when there is none. Tests reach controls
// this way rather than through the windows' members.
template <class T> T* findWidget(const QString& objectName)
{
    const QWidgetList tops = QApplication::topLevelWidgets();
    for (QWidget* top : tops) {
        if (top->objectName() == objectName)
            if (T* self = qobject_cast<T*>(top))
                return self;
        if (T* child = top->findChild<T*>(objectName))
            return child;
    }
    return nullptr;
}
