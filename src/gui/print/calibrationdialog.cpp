#include "gui/print/calibrationdialog.h"

#include "base/guarded.h"
#include "ui_calibrationdialog.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

CalibrationDialog::CalibrationDialog(const QSqlDatabase& db, const QString& model,
                                     const QString& printer, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CalibrationDialog>()), m_db(db), m_model(model),
      m_printer(printer)
{
    m_ui->setupUi(this);
    m_ui->targetLabel->setText(m_ui->targetLabel->text().arg(model, printer));
    // The limits live with the calibration, not in the form.
    m_ui->horizontalShiftEdit->setRange(Calibration::kMinShiftMm, Calibration::kMaxShiftMm);
    m_ui->verticalShiftEdit->setRange(Calibration::kMinShiftMm, Calibration::kMaxShiftMm);
    m_ui->horizontalScaleEdit->setRange(Calibration::kMinScalePct, Calibration::kMaxScalePct);
    m_ui->verticalScaleEdit->setRange(Calibration::kMinScalePct, Calibration::kMaxScalePct);

    connect(m_ui->testSheetButton, &QPushButton::clicked, this, &CalibrationDialog::printTestSheet);
    connect(m_ui->saveButton, &QPushButton::clicked, this, &CalibrationDialog::saveAndClose);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);

    Calibration stored;
    guarded([&] { stored = Calibration::load(m_db, m_model, m_printer); });
    setValues(stored);
}

CalibrationDialog::~CalibrationDialog() = default;

Calibration CalibrationDialog::values() const
{
    Calibration c;
    c.dxMm = m_ui->horizontalShiftEdit->value();
    c.dyMm = m_ui->verticalShiftEdit->value();
    c.sxPct = m_ui->horizontalScaleEdit->value();
    c.syPct = m_ui->verticalScaleEdit->value();
    return c;
}

void CalibrationDialog::setValues(const Calibration& calibration)
{
    m_ui->horizontalShiftEdit->setValue(calibration.dxMm);
    m_ui->verticalShiftEdit->setValue(calibration.dyMm);
    m_ui->horizontalScaleEdit->setValue(calibration.sxPct);
    m_ui->verticalScaleEdit->setValue(calibration.syPct);
}

bool CalibrationDialog::save()
{
    return guarded([&] { Calibration::save(m_db, m_model, m_printer, values()); });
}

void CalibrationDialog::setTestSheetPrinter(std::function<void(const Calibration&)> print)
{
    m_printTestSheet = std::move(print);
    m_ui->testSheetButton->setEnabled(bool(m_printTestSheet));
}

void CalibrationDialog::printTestSheet()
{
    if (m_printTestSheet)
        m_printTestSheet(values());
}

void CalibrationDialog::saveAndClose()
{
    if (save())
        accept();
}
