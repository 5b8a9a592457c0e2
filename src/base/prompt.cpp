#include "base/prompt.h"

#include <cstdio>

namespace
{

Prompt* g_prompt = nullptr;

class SilentProgress : public Prompt::Progress
{
public:
    bool setValue(int) override { return true; }
    bool wasCanceled() const override { return false; }
};

void writeLine(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace

// Until the windows install theirs, messages go to standard error.
static ConsolePrompt& defaultPrompt()
{
    static ConsolePrompt console;
    return console;
}

Prompt& prompt()
{
    return g_prompt ? *g_prompt : defaultPrompt();
}

Prompt* setPrompt(Prompt* p)
{
    Prompt* old = g_prompt ? g_prompt : &defaultPrompt();
    g_prompt = p;
    return old;
}

// --- ConsolePrompt ---------------------------------------------------------

void ConsolePrompt::message(const QString& text, const QString&, Icon)
{
    m_messages << text;
    writeLine(text);
}

void ConsolePrompt::error(const QString& text)
{
    m_messages << text;
    writeLine(text);
}

Prompt::Button ConsolePrompt::question(const QString&, const QString&, bool yesNo, Button)
{
    return yesNo ? Button::Yes : Button::Ok;
}

std::optional<QString> ConsolePrompt::input(const QString&, const QString&,
                                            const QString& defaultText)
{
    return defaultText;
}

QString ConsolePrompt::openFile(const QString&, const QString&)
{
    return QString();
}

QString ConsolePrompt::saveFile(const QString&, const QString&, QString*)
{
    return QString();
}

std::optional<QFont> ConsolePrompt::font(const QFont&)
{
    return std::nullopt;
}

std::optional<QColor> ConsolePrompt::colour(const QColor&, const QString&)
{
    return std::nullopt;
}

bool ConsolePrompt::openUrl(const QUrl&)
{
    return false;
}

std::unique_ptr<Prompt::Progress> ConsolePrompt::progress(const QString&, int)
{
    return std::make_unique<SilentProgress>();
}

Prompt::SaveChoice ConsolePrompt::saveDiscardCancel(const QString&, const QString&)
{
    return SaveChoice::Save;
}
