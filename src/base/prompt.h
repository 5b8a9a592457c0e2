#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <optional>

// Every message, question, input box and standard dialog of the program goes
// through this seam. The windows use real Qt dialogs; the command line writes
// messages to standard error; tests install a scripted prompt.
class Prompt
{
public:
    enum class Icon { None, Information, Warning, Stop, Question };
    enum class Button { Ok, Cancel, Yes, No };

    // A long operation's progress (row n of m) with a cancel button.
    class Progress
    {
    public:
        virtual ~Progress() = default;
        // Returns false once the user has cancelled.
        virtual bool setValue(int value) = 0;
        virtual bool wasCanceled() const = 0;
        virtual void setLabelText(const QString& text) { Q_UNUSED(text); }
    };

    virtual ~Prompt() = default;

    // A modal message with an OK button (ShowMessage and MessageBox alike).
    virtual void message(const QString& text, const QString& caption = QString(),
                         Icon icon = Icon::None) = 0;
    // The message of an error that ended an operation (the exception display).
    virtual void error(const QString& text) = 0;
    // OK/Cancel (or Yes/No) question; returns the button pressed.
    virtual Button question(const QString& text, const QString& caption, bool yesNo = false,
                            Button defaultButton = Button::Cancel) = 0;
    // An input box: returns the text, or nothing when cancelled.
    virtual std::optional<QString> input(const QString& caption, const QString& label,
                                         const QString& defaultText) = 0;
    // File dialogs; an empty result means cancelled. Filters use Qt's form,
    // "Name (*.ext);;Other (*.x)". selectedFilter may be null.
    virtual QString openFile(const QString& caption, const QString& filter) = 0;
    virtual QString saveFile(const QString& caption, const QString& filter,
                             QString* selectedFilter = nullptr) = 0;
    virtual std::optional<QFont> font(const QFont& initial) = 0;
    // The colour dialog; nothing when cancelled.
    virtual std::optional<QColor> colour(const QColor& initial, const QString& caption) = 0;
    virtual bool openUrl(const QUrl& url) = 0;
    virtual std::unique_ptr<Progress> progress(const QString& label, int maximum) = 0;

    // Unsaved work: save it, throw it away, or stay where one is.
    enum class SaveChoice { Save, Discard, Stay };
    virtual SaveChoice saveDiscardCancel(const QString& text, const QString& caption) = 0;
};

// The prompt in force. Never null once the program or a test has started.
Prompt& prompt();
// Installs p (not owned); returns the one it replaces.
Prompt* setPrompt(Prompt* p);

// For the command line: messages and errors go to standard error, one per
// line; questions are answered OK/Yes (the command itself is the consent);
// nothing interactive is available.
class ConsolePrompt : public Prompt
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
    bool openUrl(const QUrl& url) override;
    std::unique_ptr<Progress> progress(const QString& label, int maximum) override;
    // Never asked by a command; saving loses nothing.
    SaveChoice saveDiscardCancel(const QString& text, const QString& caption) override;

    QStringList messages() const { return m_messages; }

private:
    QStringList m_messages;
};
