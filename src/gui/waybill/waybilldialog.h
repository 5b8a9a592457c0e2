#pragma once

#include <QDialog>

#include <memory>

class DataModule;
struct Session;

namespace Ui
{
class WaybillDialog;
}

// "运单号生成": numbers every recipient row in grid order from a start
// number, with the rule of the chosen template's carrier (shown in the rule
// line) and an optional prefix and suffix. Created once by the main window; the inputs keep their
// texts between showings.
class WaybillDialog : public QDialog
{
    Q_OBJECT
public:
    // session names the template in use, selected on showing.
    WaybillDialog(DataModule* dm, const Session* session, QWidget* parent = nullptr);
    ~WaybillDialog() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Centres the dialog, lists the templates in table order with the
    // current one selected (letter case ignored) and applies the check box.
    void listTemplates();
    // Prefix and suffix on with the check box; off, they are emptied.
    void enableAffixes();
    // The chosen template's rule line, the increment box enabled only where
    // the rule reads it, and the number after its last series proposed.
    void showCarrierRule();
    // Puts the number after the template's last series into the start box
    // when the box is empty or holds an earlier proposal (or always, after
    // a series was written from it); else the typed number stays. The plain
    // rule counts on with the increment in the box.
    void proposeStart(bool always);
    // Numbers every recipient row, all or nothing, and closes; a refused
    // input is told and leaves the dialog as it was.
    void generateNumbers();

    std::unique_ptr<Ui::WaybillDialog> m_ui;
    DataModule* m_dm;
    const Session* m_session;
    QString m_proposed; // the start number last proposed, as put into the box
};
