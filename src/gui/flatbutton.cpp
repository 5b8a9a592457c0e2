#include "gui/flatbutton.h"

#include <QToolButton>

QToolButton* makeFlatButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setGeometry(geometry);
    return b;
}
