#pragma once

#include "base/prompt.h"
#include "render/printprompt.h"

// Real Qt dialogs, parented to the active window.
class QtPrompt : public Prompt, public PrintPrompt
{
public:
    void message(const QString& text, const QString& caption, Icon icon) override;
    void error(const QString& text) override;
    Button question(const QString& text, const QString& caption, bool yesNo,
                    Button defaultButton) override;
    std::optional<QString> input(const QString& caption, const QString& label,
                                 const QString& defaultText) override;
    QString openFile(const QString& caption, const QString& filter) override;
    QString saveFile(const QString& caption, const QString& filter,
                     QString* selectedFilter) override;
    std::optional<QFont> font(const QFont& initial) override;
    std::optional<QColor> colour(const QColor& initial, const QString& caption) override;
    bool printerSetup(QPrinter* printer) override;
    bool openUrl(const QUrl& url) override;
    std::unique_ptr<Progress> progress(const QString& label, int maximum) override;
    SaveChoice saveDiscardCancel(const QString& text, const QString& caption) override;
    std::optional<RowsChoice> printRows(const RowsOffer& offer) override;
};
