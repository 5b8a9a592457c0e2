#pragma once

#include "base/prompt.h"
#include "render/printprompt.h"

#include <QList>
#include <QQueue>
#include <QStringList>

// A prompt for tests: records every text shown and answers from queues of
// preset answers (defaults when a queue is empty: OK/Yes, the default text,
// no file, no font, printer setup accepted).
class ScriptedPrompt : public Prompt, public PrintPrompt
{
public:
    struct Shown {
        QString kind; // "message", "error", "question", "input", "open", "save", "font", "colour",
                      // "printer", "url", "progress"
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Button defaultButton = Button::Ok;
    };

    ScriptedPrompt();
    ~ScriptedPrompt() override;

    QList<Shown> shown;
    QQueue<Button> answers;
    QQueue<std::optional<QString>> inputs;
    QQueue<QString> files;
    QQueue<QString> selectedFilters;
    QQueue<std::optional<QFont>> fonts;
    QQueue<std::optional<QColor>> colours; // empty: cancelled
    QQueue<bool> printerAnswers;
    QList<QUrl> urls;
    bool urlResult = true;
    int cancelProgressAt = -1; // cancel when a progress reaches this value
    // Answers to saveDiscardCancel (kind "saveDiscardCancel"); Stay when empty.
    QQueue<SaveChoice> saveChoices;
    QQueue<std::optional<RowsChoice>> rowChoices; // empty: all rows
    QList<RowsOffer> rowOffers;                   // what each printRows offered

    QStringList messages() const; // texts of messages and errors, in order
    QString lastMessage() const;
    void clear() { shown.clear(); }

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

private:
    Prompt* m_previous;
};
