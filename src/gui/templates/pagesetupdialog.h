#pragma once

#include <QDialog>
#include <functional>

#include <memory>

class DesignPage;
class QPrinter;

namespace Ui
{
class PageSetupDialog;
}

// "页面设置": the current model's paper size (tenths of a millimetre), feed
// offsets (screen pixels) and carrier. Created once by the main window; the boxes are
// reloaded from the table on every showing.
class PageSetupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PageSetupDialog(DesignPage* page, QWidget* parent = nullptr);
    ~PageSetupDialog() override;

    // Shows the dialog modally for the current model; refuses with a
    // message when no row bears its name.
    int Execute();

    // Where OK finds the program's printer to give the new paper size to
    // (none by default; every print job applies it again through applyTemplatePaper).
    using PrinterSource = std::function<QPrinter*()>;
    void setPrinterSource(PrinterSource source) { m_printerSource = std::move(source); }
    // What "打印机校准" opens; the button shows only once this is set.
    void setCalibrationAction(std::function<void()> action);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool findCurrentModel();
    // Centres the dialog and loads the boxes; runs on every showing. False
    // when no row bears the current model's name.
    bool loadCurrentTemplate();
    // Stores the values, puts the offsets into effect, lays the template out
    // again and applies the paper size to the printer, then closes. A bad
    // box is named in a message and nothing changes.
    void applyPageValues();

    std::unique_ptr<Ui::PageSetupDialog> m_ui;
    DesignPage* m_page;
    // The carrier code shown on loading: only a changed choice is stored,
    // so a template left alone keeps the rule its name selects.
    QString m_shownCarrier;
    PrinterSource m_printerSource;
};
