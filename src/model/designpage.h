#pragma once

#include <QWidget>

class DesignSurface;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The "模板设计" tab: the design panel and the two button groups below it.
class DesignPage : public QWidget
{
    Q_OBJECT
public:
    explicit DesignPage(QWidget* parent = nullptr);

    DesignSurface* Model_Container;
    QGroupBox* GroupBox5;
    QComboBox* Model_List;
    QToolButton* Model_Preview_Btn;
    QToolButton* Model_Page_Btn;
    QToolButton* SpeedButton1;
    QGroupBox* GroupBox1;
    QToolButton* Model_New_Btn;
    QToolButton* Model_Bmp_Btn;
    QToolButton* Model_Field_Btn;
    QLabel* Label_Page_W;
    QLineEdit* Page_W;
    QLabel* Label_Page_H;
    QLineEdit* Page_H;
    QToolButton* Model_Save_Btn;
};

// A flat button of the given caption, size and object name.
QToolButton* makeFlatButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry);
