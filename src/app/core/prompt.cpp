#include "prompt.h"

#include "printrowsdialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <cstdio>

namespace {

QtPrompt g_defaultPrompt;
Prompt* g_prompt = nullptr;

QWidget* parentWindow()
{
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                             : QApplication::activeWindow();
}

QMessageBox::Icon boxIcon(Prompt::Icon icon)
{
    switch (icon) {
    case Prompt::Icon::Information:
        return QMessageBox::Information;
    case Prompt::Icon::Warning:
        return QMessageBox::Warning;
    case Prompt::Icon::Stop:
        return QMessageBox::Critical;
    case Prompt::Icon::Question:
        return QMessageBox::Question;
    case Prompt::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

class DialogProgress : public Prompt::Progress
{
public:
    DialogProgress(const QString& label, int maximum)
        : m_dialog(label, QStringLiteral("取消"), 0, maximum, parentWindow())
    {
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(true);
        m_dialog.setAutoReset(false);
    }
    bool setValue(int value) override
    {
        m_dialog.setValue(value); // processes events while modal
        return !m_dialog.wasCanceled();
    }
    void setLabelText(const QString& text) override { m_dialog.setLabelText(text); }
    bool wasCanceled() const override { return m_dialog.wasCanceled(); }

private:
    QProgressDialog m_dialog;
};

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

Prompt& prompt()
{
    return g_prompt ? *g_prompt : g_defaultPrompt;
}

Prompt* setPrompt(Prompt* p)
{
    Prompt* old = g_prompt ? g_prompt : &g_defaultPrompt;
    g_prompt = p;
    return old;
}

// --- QtPrompt --------------------------------------------------------------

void QtPrompt::message(const QString& text, const QString& caption, Icon icon)
{
    QMessageBox box(boxIcon(icon),
                    caption.isEmpty() ? QApplication::applicationDisplayName() : caption, text,
                    QMessageBox::Ok, parentWindow());
    box.exec();
}

void QtPrompt::error(const QString& text)
{
    message(text, QString(), Icon::Stop);
}

Prompt::Button QtPrompt::question(const QString& text, const QString& caption, bool yesNo,
                                  Button defaultButton)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parentWindow());
    QPushButton* first = box.addButton(yesNo ? QStringLiteral("是(&Y)") : QStringLiteral("确定"),
                                       QMessageBox::AcceptRole);
    QPushButton* second = box.addButton(
        yesNo ? QStringLiteral("否(&N)") : QStringLiteral("取消"), QMessageBox::RejectRole);
    const bool firstDefault = defaultButton == Button::Ok || defaultButton == Button::Yes;
    box.setDefaultButton(firstDefault ? first : second);
    box.setEscapeButton(second);
    box.exec();
    const bool accepted = box.clickedButton() == first;
    if (yesNo)
        return accepted ? Button::Yes : Button::No;
    return accepted ? Button::Ok : Button::Cancel;
}

std::optional<QString> QtPrompt::input(const QString& caption, const QString& label,
                                       const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parentWindow(), caption, label, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtPrompt::openFile(const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(parentWindow(), caption, QString(), filter);
}

QString QtPrompt::saveFile(const QString& caption, const QString& filter, QString* selectedFilter)
{
    // No overwrite question of our own: callers decide.
    return QFileDialog::getSaveFileName(parentWindow(), caption, QString(), filter, selectedFilter,
                                        QFileDialog::DontConfirmOverwrite);
}

std::optional<QFont> QtPrompt::font(const QFont& initial)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parentWindow());
    if (!ok)
        return std::nullopt;
    return f;
}

bool QtPrompt::printerSetup(QPrinter* printer)
{
    QPrintDialog dialog(printer, parentWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool QtPrompt::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

std::unique_ptr<Prompt::Progress> QtPrompt::progress(const QString& label, int maximum)
{
    return std::make_unique<DialogProgress>(label, maximum);
}

std::optional<Prompt::RowsChoice> QtPrompt::printRows(const RowsOffer& offer)
{
    PrintRowsDialog dialog(offer, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
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

bool ConsolePrompt::printerSetup(QPrinter*)
{
    return false;
}

bool ConsolePrompt::openUrl(const QUrl&)
{
    return false;
}

std::unique_ptr<Prompt::Progress> ConsolePrompt::progress(const QString&, int)
{
    return std::make_unique<SilentProgress>();
}
