#pragma once

#include <QRect>
#include <QString>

class QToolButton;
class QWidget;

// A flat button of the given caption, size and object name, as the toolbars
// and group boxes of every window use.
QToolButton* makeFlatButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry);
