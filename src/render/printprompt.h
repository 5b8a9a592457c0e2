#pragma once

#include <QString>
#include <optional>

class QPrinter;

// The questions only printing asks: the printer setup dialog and which rows
// a batch prints. A prompt that can ask them (the windows' and the tests')
// implements this next to Prompt; printPrompt() finds it in the prompt in
// force, and without one answers as the command line would.
class PrintPrompt
{
public:
    // Which recipient rows a batch prints: all, those selected in the grid,
    // those not yet printed, or a range of row numbers ("1-20,25").
    struct RowsChoice {
        enum class Kind { All, Selected, Unprinted, Range };
        Kind kind = Kind::All;
        QString range;
    };
    struct RowsOffer {
        int rowCount = 0;
        int selectedCount = 0;
        int unprintedCount = 0;
        RowsChoice::Kind initial = RowsChoice::Kind::All; // the choice made at first
    };

    virtual ~PrintPrompt() = default;
    // The printer setup dialog; returns whether the user accepted.
    virtual bool printerSetup(QPrinter* printer) = 0;
    // Nothing when cancelled.
    virtual std::optional<RowsChoice> printRows(const RowsOffer& offer) = 0;
};

// The print questions of the prompt in force; without a dialog of its own:
// the setup is refused and all rows are printed.
PrintPrompt& printPrompt();
