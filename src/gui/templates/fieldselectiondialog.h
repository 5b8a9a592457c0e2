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

// "请选择要打印的字段": moves field captions from the list of all printable
// fields (SrcList, kept in Chinese collation order) to the fields to show
// (DstList, in the order appended). "确定" shows every field in DstList on
// the design surface; it never hides one and never saves. Created once at
// start-up; the lists live as long as the program.
class FieldSelectionDialog : public QDialog
{
    Q_OBJECT
public:
    // Reads the captions from the caption queries, which must be open or
    // openable.
    FieldSelectionDialog(DataModule* dm, DesignSurface* surface, QWidget* parent = nullptr);
    ~FieldSelectionDialog() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void includeSelected();
    void includeAll();
    void excludeSelected();
    void excludeAll();
    // Shows every chosen field on the design surface and closes.
    void showChosenFields();

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
    QCollator m_collator;
};
