#include "calibrationdialog.h"

#include "guarded.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CalibrationDialog::CalibrationDialog(const QSqlDatabase& db, const QString& model,
                                     const QString& printer, QWidget* parent)
    : QDialog(parent), m_db(db), m_model(model), m_printer(printer)
{
    setObjectName(QStringLiteral("CalibrationDialog"));
    setWindowTitle(QStringLiteral("打印机校准"));

    Calibration_Target_Label =
        new QLabel(QStringLiteral("模板：%1　打印机：%2").arg(model, printer), this);
    Calibration_Target_Label->setObjectName(QStringLiteral("Calibration_Target_Label"));
    auto spin = [this](const char* name, double lo, double hi, const QString& suffix) {
        auto* s = new QDoubleSpinBox(this);
        s->setObjectName(QString::fromLatin1(name));
        s->setDecimals(1);
        s->setSingleStep(0.1);
        s->setRange(lo, hi);
        s->setSuffix(suffix);
        return s;
    };
    const QString mm = QStringLiteral(" mm");
    const QString pct = QStringLiteral(" %");
    Calibration_Dx_Edit =
        spin("Calibration_Dx_Edit", Calibration::kMinShiftMm, Calibration::kMaxShiftMm, mm);
    Calibration_Dy_Edit =
        spin("Calibration_Dy_Edit", Calibration::kMinShiftMm, Calibration::kMaxShiftMm, mm);
    Calibration_Sx_Edit =
        spin("Calibration_Sx_Edit", Calibration::kMinScalePct, Calibration::kMaxScalePct, pct);
    Calibration_Sy_Edit =
        spin("Calibration_Sy_Edit", Calibration::kMinScalePct, Calibration::kMaxScalePct, pct);

    Calibration_Test_Btn = new QPushButton(QStringLiteral("打印测试页"), this);
    Calibration_Test_Btn->setObjectName(QStringLiteral("Calibration_Test_Btn"));
    Calibration_Test_Btn->setEnabled(false);
    connect(Calibration_Test_Btn, &QPushButton::clicked, this, [this] {
        if (m_printTestSheet)
            m_printTestSheet(values());
    });
    Calibration_Save_Btn = new QPushButton(QStringLiteral("保存"), this);
    Calibration_Save_Btn->setObjectName(QStringLiteral("Calibration_Save_Btn"));
    Calibration_Close_Btn = new QPushButton(QStringLiteral("关闭"), this);
    Calibration_Close_Btn->setObjectName(QStringLiteral("Calibration_Close_Btn"));
    connect(Calibration_Save_Btn, &QPushButton::clicked, this, [this] {
        if (save())
            accept();
    });
    connect(Calibration_Close_Btn, &QPushButton::clicked, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("水平偏移（右为正）："), Calibration_Dx_Edit);
    form->addRow(QStringLiteral("垂直偏移（下为正）："), Calibration_Dy_Edit);
    form->addRow(QStringLiteral("水平缩放："), Calibration_Sx_Edit);
    form->addRow(QStringLiteral("垂直缩放："), Calibration_Sy_Edit);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Calibration_Test_Btn);
    buttons->addStretch(1);
    buttons->addWidget(Calibration_Save_Btn);
    buttons->addWidget(Calibration_Close_Btn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Calibration_Target_Label);
    layout->addLayout(form);
    layout->addLayout(buttons);

    Calibration stored;
    guarded([&] { stored = Calibration::load(m_db, m_model, m_printer); });
    setValues(stored);
}

Calibration CalibrationDialog::values() const
{
    Calibration c;
    c.dxMm = Calibration_Dx_Edit->value();
    c.dyMm = Calibration_Dy_Edit->value();
    c.sxPct = Calibration_Sx_Edit->value();
    c.syPct = Calibration_Sy_Edit->value();
    return c;
}

void CalibrationDialog::setValues(const Calibration& calibration)
{
    Calibration_Dx_Edit->setValue(calibration.dxMm);
    Calibration_Dy_Edit->setValue(calibration.dyMm);
    Calibration_Sx_Edit->setValue(calibration.sxPct);
    Calibration_Sy_Edit->setValue(calibration.syPct);
}

bool CalibrationDialog::save()
{
    return guarded([&] { Calibration::save(m_db, m_model, m_printer, values()); });
}

void CalibrationDialog::setTestSheetPrinter(std::function<void(const Calibration&)> print)
{
    m_printTestSheet = std::move(print);
    Calibration_Test_Btn->setEnabled(bool(m_printTestSheet));
}
