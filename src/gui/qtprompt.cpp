#include "gui/qtprompt.h"

#include "base/appmessages.h"
#include "base/guarded.h"
#include "gui/print/printrowsdialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>

namespace
{

QWidget* parentWindow()
{
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                             : QApplication::activeWindow();
}

// The caption of a message that names none: the program's title.
const char* const kMessageCaption = AppMessages::Title;

// A short message makes a narrow box, and the window manager would cut its
// title off: the box is kept wide enough for the whole title and the title
// bar's buttons.
void keepTitleWhole(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int width = metrics.horizontalAdvance(box.windowTitle()) * 5 / 4 + 140;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
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

} // namespace

void QtPrompt::message(const QString& text, const QString& caption, Icon icon)
{
    QMessageBox box(boxIcon(icon), caption.isEmpty() ? QString::fromUtf8(kMessageCaption) : caption,
                    text, QMessageBox::Ok, parentWindow());
    keepTitleWhole(box);
    box.exec();
}

void QtPrompt::error(const QString& text)
{
    // Callers give the whole text: the program's first line and any reason.
    message(text, QString(), Icon::Stop);
}

Prompt::Button QtPrompt::question(const QString& text, const QString& caption, bool yesNo,
                                  Button defaultButton)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parentWindow());
    QPushButton* first = box.addButton(yesNo ? QStringLiteral("是(&Y)") : QStringLiteral("确定"),
                                       QMessageBox::AcceptRole);
    QPushButton* second = box.addButton(yesNo ? QStringLiteral("否(&N)") : QStringLiteral("取消"),
                                        QMessageBox::RejectRole);
    const bool firstDefault = defaultButton == Button::Ok || defaultButton == Button::Yes;
    box.setDefaultButton(firstDefault ? first : second);
    box.setEscapeButton(second);
    keepTitleWhole(box);
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

namespace
{

// Qt's own file dialog, not the desktop's: its filters match file names
// without regard to letter case ("*.xls" shows "A.XLS"), and it speaks
// Chinese with Qt's translations.
QString runFileDialog(QFileDialog::AcceptMode mode, const QString& caption, const QString& filter,
                      QString* selectedFilter)
{
    QFileDialog dialog(parentWindow(), caption, QString(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    // No overwrite question of our own: callers decide.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (selectedFilter && !selectedFilter->isEmpty())
        dialog.selectNameFilter(*selectedFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString QtPrompt::openFile(const QString& caption, const QString& filter)
{
    return runFileDialog(QFileDialog::AcceptOpen, caption, filter, nullptr);
}

QString QtPrompt::saveFile(const QString& caption, const QString& filter, QString* selectedFilter)
{
    return runFileDialog(QFileDialog::AcceptSave, caption, filter, selectedFilter);
}

std::optional<QFont> QtPrompt::font(const QFont& initial)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, parentWindow());
    if (!ok)
        return std::nullopt;
    return f;
}

std::optional<QColor> QtPrompt::colour(const QColor& initial, const QString& caption)
{
    const QColor c = QColorDialog::getColor(initial, parentWindow(), caption);
    if (!c.isValid())
        return std::nullopt;
    return c;
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

Prompt::SaveChoice QtPrompt::saveDiscardCancel(const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parentWindow());
    QPushButton* save = box.addButton(QStringLiteral("保存(&S)"), QMessageBox::AcceptRole);
    QPushButton* discard =
        box.addButton(QStringLiteral("不保存(&N)"), QMessageBox::DestructiveRole);
    QPushButton* stay = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() == save)
        return SaveChoice::Save;
    if (box.clickedButton() == discard)
        return SaveChoice::Discard;
    return SaveChoice::Stay;
}

std::optional<PrintPrompt::RowsChoice> QtPrompt::printRows(const RowsOffer& offer)
{
    PrintRowsDialog dialog(offer, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
