#pragma once

#include "render/calibration.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui
{
class CalibrationDialog;
}

// "打印机校准": the current template's calibration for the current printer,
// in millimetres and per cent; "保存" stores it.
class CalibrationDialog : public QDialog
{
    Q_OBJECT
public:
    CalibrationDialog(const QSqlDatabase& db, const QString& model, const QString& printer,
                      QWidget* parent = nullptr);
    ~CalibrationDialog() override;

    Calibration values() const;
    void setValues(const Calibration& calibration);
    // Stores the values shown; false (with the message shown) on failure.
    bool save();
    // What "打印测试页" does with the values shown (saved or not).
    void setTestSheetPrinter(std::function<void(const Calibration&)> print);

private:
    void printTestSheet();
    void saveAndClose();

    std::unique_ptr<Ui::CalibrationDialog> m_ui;
    QSqlDatabase m_db;
    QString m_model;
    QString m_printer;
    std::function<void(const Calibration&)> m_printTestSheet;
};
