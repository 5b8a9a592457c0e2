#pragma once

#include <QCollator>
#include <QDialog>

class DesignSurface;
class QLabel;
class QListWidget;
class QPushButton;
class TDataModule1;

// "请选择要打印的字段": moves field captions from the list of all printable
// fields (SrcList, kept in Chinese collation order) to the fields to show
// (DstList, in the order appended). "确定" shows every field in DstList on
// the design surface; it never hides one and never saves. Created once at
// start-up; the lists live as long as the program.
class TFM_Field_Sel : public QDialog
{
    Q_OBJECT
public:
    // Reads the captions from the caption queries, which must be open or
    // openable.
    TFM_Field_Sel(TDataModule1* dm, DesignSurface* surface, QWidget* parent = nullptr);
    ~TFM_Field_Sel() override;

    void IncludeBtnClick();
    void IncAllBtnClick();
    void ExcludeBtnClick();
    void ExcAllBtnClick();
    void OKBtnClick();

    int GetFirstSelection(QListWidget* list) const;
    void MoveSelected(QListWidget* list, QListWidget* target);
    void SetItem(QListWidget* list, int index);
    void SetButtons();

    QLabel* SrcLabel;
    QListWidget* SrcList;
    QLabel* DstLabel;
    QListWidget* DstList;
    QPushButton* IncludeBtn;
    QPushButton* IncAllBtn;
    QPushButton* ExcludeBtn;
    QPushButton* ExAllBtn;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* HelpBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(TDataModule1* dm);
    // Appends to DstList, or puts the caption at its sorted place in SrcList.
    void addItem(QListWidget* list, const QString& text);

    DesignSurface* m_surface;
    QCollator m_collator;
};
