#include "scriptedprompt.h"

namespace
{

class ScriptedProgress : public Prompt::Progress
{
public:
    explicit ScriptedProgress(int cancelAt) : m_cancelAt(cancelAt) {}
    bool setValue(int value) override
    {
        if (m_cancelAt >= 0 && value >= m_cancelAt)
            m_canceled = true;
        return !m_canceled;
    }
    bool wasCanceled() const override { return m_canceled; }

private:
    int m_cancelAt;
    bool m_canceled = false;
};

} // namespace

ScriptedPrompt::ScriptedPrompt() : m_previous(setPrompt(this)) {}

ScriptedPrompt::~ScriptedPrompt()
{
    setPrompt(m_previous);
}

QStringList ScriptedPrompt::messages() const
{
    QStringList out;
    for (const Shown& s : shown)
        if (s.kind == QLatin1String("message") || s.kind == QLatin1String("error"))
            out << s.text;
    return out;
}

QString ScriptedPrompt::lastMessage() const
{
    const QStringList m = messages();
    return m.isEmpty() ? QString() : m.last();
}

void ScriptedPrompt::message(const QString& text, const QString& caption, Icon icon)
{
    shown.append({QStringLiteral("message"), text, caption, icon});
}

void ScriptedPrompt::error(const QString& text)
{
    shown.append({QStringLiteral("error"), text, QString(), Icon::Stop});
}

Prompt::Button ScriptedPrompt::question(const QString& text, const QString& caption, bool yesNo,
                                        Button defaultButton)
{
    shown.append({QStringLiteral("question"), text, caption, Icon::Question, defaultButton});
    if (!answers.isEmpty())
        return answers.dequeue();
    return yesNo ? Button::Yes : Button::Ok;
}

std::optional<QString> ScriptedPrompt::input(const QString& caption, const QString& label,
                                             const QString& defaultText)
{
    shown.append({QStringLiteral("input"), label, caption});
    if (!inputs.isEmpty())
        return inputs.dequeue();
    return defaultText;
}

QString ScriptedPrompt::openFile(const QString& caption, const QString& filter)
{
    shown.append({QStringLiteral("open"), filter, caption});
    return files.isEmpty() ? QString() : files.dequeue();
}

QString ScriptedPrompt::saveFile(const QString& caption, const QString& filter,
                                 QString* selectedFilter)
{
    shown.append({QStringLiteral("save"), filter, caption});
    if (selectedFilter && !selectedFilters.isEmpty())
        *selectedFilter = selectedFilters.dequeue();
    return files.isEmpty() ? QString() : files.dequeue();
}

std::optional<QColor> ScriptedPrompt::colour(const QColor& initial, const QString& caption)
{
    // The text is the colour the dialog opens at.
    shown.append({QStringLiteral("colour"), initial.name(), caption});
    return colours.isEmpty() ? std::nullopt : colours.dequeue();
}

std::optional<QFont> ScriptedPrompt::font(const QFont&)
{
    shown.append({QStringLiteral("font"), QString(), QString()});
    return fonts.isEmpty() ? std::nullopt : fonts.dequeue();
}

bool ScriptedPrompt::printerSetup(QPrinter*)
{
    shown.append({QStringLiteral("printer"), QString(), QString()});
    return printerAnswers.isEmpty() ? true : printerAnswers.dequeue();
}

bool ScriptedPrompt::openUrl(const QUrl& url)
{
    shown.append({QStringLiteral("url"), url.toString(), QString()});
    urls << url;
    return urlResult;
}

std::unique_ptr<Prompt::Progress> ScriptedPrompt::progress(const QString& label, int)
{
    shown.append({QStringLiteral("progress"), label, QString()});
    return std::make_unique<ScriptedProgress>(cancelProgressAt);
}

Prompt::SaveChoice ScriptedPrompt::saveDiscardCancel(const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("saveDiscardCancel"), text, caption, Icon::Question});
    return saveChoices.isEmpty() ? SaveChoice::Stay : saveChoices.dequeue();
}

std::optional<PrintPrompt::RowsChoice> ScriptedPrompt::printRows(const RowsOffer& offer)
{
    rowOffers << offer;
    return rowChoices.isEmpty() ? std::optional<RowsChoice>(RowsChoice()) : rowChoices.dequeue();
}
