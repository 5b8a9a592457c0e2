#include "render/printprompt.h"

#include "base/prompt.h"

namespace
{

class NoDialogs : public PrintPrompt
{
public:
    bool printerSetup(QPrinter*) override { return false; }
    std::optional<RowsChoice> printRows(const RowsOffer&) override { return RowsChoice(); }
};

} // namespace

PrintPrompt& printPrompt()
{
    if (auto* p = dynamic_cast<PrintPrompt*>(&prompt()))
        return *p;
    static NoDialogs none;
    return none;
}
