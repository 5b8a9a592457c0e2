#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

// What the main window keeps for the run, in memory only; everything starts
// empty, false or 0.
struct RunState {
    QString appDir;             // directory of the executable, with a trailing '/'
    QString currentModel;       // name of the template in use
    qint64 currentModelRow = -1; // its row in Exp_Model, when known (names may repeat)
    std::optional<QFont> printFont;
    QColor printColour = Qt::black; // chosen after the print font
    QString excelFileName;
    int screenOffsetX = 0;      // Screen_OffsetX: feed offsets of the template laid out
    int screenOffsetY = 0;      // Screen_OffsetY
};

// The program's one run state.
RunState& runState();
