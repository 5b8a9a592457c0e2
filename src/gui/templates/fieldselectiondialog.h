#pragma once

#include <QCollator>
#include <QDialog>
#include <memory>

class DesignSurface;
class QListWidget;
class DataModule;

namespace Ui
{
class FieldSelectionDialog;
}

// "请选择要打印的字段": each showing lists the fields visible on the design
// surface in DstList and the hidden ones in SrcList (kept in Chinese
// collation order); the user moves captions between them. "确定" shows the
// fields of DstList and hides those of SrcList, as one change to undo; it
// saves nothing. "帮助" opens the help at the dialog's section.
class FieldSelectionDialog : public QDialog
{
    Q_OBJECT
public:
    // Reads the captions from the caption queries, which must be open or
    // openable. appDir: where help.html is.
    FieldSelectionDialog(DataModule* dm, DesignSurface* surface, const QString& appDir,
                         QWidget* parent = nullptr);
    ~FieldSelectionDialog() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void includeSelected();
    void includeAll();
    void excludeSelected();
    void excludeAll();
    // Shows the chosen fields on the design surface, hides the others and
    // closes.
    void showChosenFields();
    // The lists as the design surface stands.
    void listFieldsAsShown();

    int firstSelectedRow(QListWidget* list) const;
    void moveSelected(QListWidget* list, QListWidget* target);
    // Focuses the list and selects the row at index, kept within the list.
    void selectRowNear(QListWidget* list, int index);
    void updateButtons();

    void listFieldCaptions(DataModule* dm);
    // Appends to DstList, or puts the caption at its sorted place in SrcList.
    void addItem(QListWidget* list, const QString& text);

    std::unique_ptr<Ui::FieldSelectionDialog> m_ui;
    DesignSurface* m_surface;
    QString m_appDir;
    QStringList m_captions; // in the caption queries' order
    QCollator m_collator;
};
