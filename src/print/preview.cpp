#include "preview.h"
#include "centre.h"

#include "batchprint.h"
#include "datamodule.h"
#include "designpage.h"
#include "designsurface.h"
#include "fieldcatalogue.h"
#include "guarded.h"
#include "printerstore.h"
#include "printgeometry.h"
#include "prompt.h"
#include "recordrenderer.h"
#include "session.h"
#include "surfacepositions.h"
#include "templatemessages.h"
#include "templatestore.h"

#include <QComboBox>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPen>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>

TFM_PreView::TFM_PreView(TDataModule1* dm, const Session* session, const DesignSurface* surface,
                         QWidget* mainWindow, PageSetup pageSetup)
    : QDialog(mainWindow), m_dm(dm), m_session(session), m_surface(surface),
      m_mainWindow(mainWindow), m_pageSetup(std::move(pageSetup))
{
    setObjectName(QStringLiteral("FM_PreView"));
    setWindowTitle(QStringLiteral("FM_PreView"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(936, 647);
    setModal(true);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setGeometry(8, 8, 921, 545);
    ScrollBox1->setWidgetResizable(false);
    Model_BKimg = new QLabel;
    Model_BKimg->setObjectName(QStringLiteral("Model_BKimg"));
    Model_BKimg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Model_BKimg->setScaledContents(false); // stretching starts with the first zoom choice
    Model_BKimg->resize(913, 534);
    ScrollBox1->setWidget(Model_BKimg);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 560, 609, 81);
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(16, 35, 89, 22);
    ComboBox1->addItems({QStringLiteral("200%"), QStringLiteral("100%"), QStringLiteral("75%"),
                         QStringLiteral("50%"), QStringLiteral("充满整页")});
    First_Pg_Btn = makeFlatButton(GroupBox1, QStringLiteral("First_Pg_Btn"),
                                  QStringLiteral("第一页"), QRect(121, 27, 113, 33));
    Prior_Pg_Btn = makeFlatButton(GroupBox1, QStringLiteral("Prior_Pg_Btn"),
                                  QStringLiteral("上一页"), QRect(241, 27, 113, 33));
    Next_Pg_Btn = makeFlatButton(GroupBox1, QStringLiteral("Next_Pg_Btn"),
                                 QStringLiteral("下一页"), QRect(361, 27, 113, 33));
    Last_Pg_Btn = makeFlatButton(GroupBox1, QStringLiteral("Last_Pg_Btn"),
                                 QStringLiteral("最后一页"), QRect(481, 27, 113, 33));
    GroupBox2 = new QGroupBox(this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(624, 560, 305, 81);
    Print_Btn = makeFlatButton(GroupBox2, QStringLiteral("Print_Btn"), QStringLiteral("打印"),
                               QRect(36, 26, 113, 33));
    Close_Btn1 = makeFlatButton(GroupBox2, QStringLiteral("Close_Btn1"), QStringLiteral("退出"),
                                QRect(164, 26, 113, 33));

    connect(ComboBox1, &QComboBox::activated, this, &TFM_PreView::ComboBox1Change);
    connect(First_Pg_Btn, &QToolButton::clicked, this, &TFM_PreView::First_Pg_BtnClick);
    connect(Prior_Pg_Btn, &QToolButton::clicked, this, &TFM_PreView::Prior_Pg_BtnClick);
    connect(Next_Pg_Btn, &QToolButton::clicked, this, &TFM_PreView::Next_Pg_BtnClick);
    connect(Last_Pg_Btn, &QToolButton::clicked, this, &TFM_PreView::Last_Pg_BtnClick);
    connect(Print_Btn, &QToolButton::clicked, this, &TFM_PreView::Print_BtnClick);
    connect(Close_Btn1, &QToolButton::clicked, this, &TFM_PreView::Close_Btn1Click);
}

TFM_PreView::~TFM_PreView() = default;

void TFM_PreView::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TFM_PreView::FormActivate()
{
    centreOnScreen(this);
    if (m_mainWindow)
        m_mainWindow->hide();
    if (!TemplateStore::findRow(m_dm->TB_Model, m_session->currentModelRow,
                                m_session->currentModel))
        prompt().message(TemplateMessages::noCurrentTemplate());
    Db_Record_Prt();
    // However the window was opened, the paging buttons follow the row shown.
    const int row = m_dm->TB_Att->recNo();
    const int rows = m_dm->TB_Att->recordCount();
    setNavigation(row > 0, row >= 0 && row < rows - 1);
    m_w0 = Model_BKimg->width();
    m_h0 = Model_BKimg->height();
    ComboBox1->setCurrentIndex(ComboBox1->findText(QStringLiteral("100%")));
}

void TFM_PreView::setImageSize(const QSize& size)
{
    Model_BKimg->resize(size);
}

void TFM_PreView::Db_Record_Prt()
{
    // 1. The size of the design surface's picture.
    const QSize size = m_surface->backgroundImage()->size();
    setImageSize(size);

    // The row of the current model, found by name; without one no text is drawn.
    Dataset* model = m_dm->TB_Model;
    const bool haveModel =
        model->recNo() >= 0 && !model->eof() &&
        model->FieldByName(TemplateStore::Column::Name).AsString() == m_session->currentModel;
    // 2. The template's picture, replacing the earlier record's.
    QImage image;
    QString error;
    if (model->recNo() >= 0) {
        const QString path = m_session->appDir + QLatin1String("bkbmp/") +
                             model->FieldByName(TemplateStore::Column::PictureName).AsString();
        QImageReader reader(path);
        image = reader.read();
        if (image.isNull())
            error = QStringLiteral("背景图无法读取：%1（%2）").arg(path, reader.errorString());
    }
    if (image.isNull()) {
        image = QImage(size.isEmpty() ? QSize(800, 442) : size, QImage::Format_RGB32);
        image.fill(Qt::white);
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    // Pixels of the picture are pixels of the design surface, whatever
    // resolution its file claims: fonts and places follow the surface.
    const int designDotsPerMeter = qRound(PrintGeometry::kDesignDpi / 0.0254);
    image.setDotsPerMeterX(designDotsPerMeter);
    image.setDotsPerMeterY(designDotsPerMeter);
    // 3 and 4. The current rows at their design offsets, unscaled.
    if (haveModel) {
        guarded([&] {
            const RecordFields fields = RecordRenderer::collect(model, m_dm->TB_Send, m_dm->TB_Att,
                                                                SurfacePositions(m_surface));
            const FieldFits fits = FieldFitStore::load(m_dm->DB_main(), m_session->currentModel);
            const QFont font = m_session->printFont();
            QPainter p(&image);
            p.setFont(font);
            RecordRenderer::Draw_Record(p, fields, m_session->printColour(),
                                        PrintGeometry::kDesignDpi, PrintGeometry::kDesignDpi,
                                        Calibration(), fits);
            // Text that will not print whole is outlined in red.
            const QStringList misfits =
                RecordRenderer::misfits(fields, fits, font, &image, image.width(), image.height());
            p.setPen(QPen(Qt::red, 1));
            p.setBrush(Qt::NoBrush);
            for (const RenderField& r : fields)
                if (misfits.contains(r.field->key))
                    p.drawRect(RecordRenderer::textRect(r, fits, font, &image));
        });
    }
    m_rendered = image;
    Model_BKimg->setPixmap(QPixmap::fromImage(image));
    if (!error.isEmpty())
        prompt().error(error);
}

void TFM_PreView::ComboBox1Change()
{
    const QString zoom = ComboBox1->currentText();
    QSize size;
    if (zoom == QLatin1String("100%"))
        size = QSize(m_w0, m_h0);
    else if (zoom == QLatin1String("75%"))
        size = QSize(3 * m_w0 / 4, 3 * m_h0 / 4);
    else if (zoom == QLatin1String("50%"))
        size = QSize(m_w0 / 2, m_h0 / 2);
    else if (zoom == QLatin1String("200%"))
        size = QSize(2 * m_w0, 2 * m_h0);
    else if (zoom == QStringLiteral("充满整页"))
        size = QSize(ScrollBox1->width() - 8, ScrollBox1->height() - 8);
    else
        return;
    Model_BKimg->setScaledContents(true);
    setImageSize(size);
}

void TFM_PreView::setNavigation(bool firstPrior, bool nextLast)
{
    First_Pg_Btn->setEnabled(firstPrior);
    Prior_Pg_Btn->setEnabled(firstPrior);
    Next_Pg_Btn->setEnabled(nextLast);
    Last_Pg_Btn->setEnabled(nextLast);
}

void TFM_PreView::First_Pg_BtnClick()
{
    guarded([&] { m_dm->TB_Att->first(); });
    Db_Record_Prt();
    setNavigation(false, true);
}

void TFM_PreView::Prior_Pg_BtnClick()
{
    guarded([&] { m_dm->TB_Att->prior(); });
    Db_Record_Prt();
    if (m_dm->TB_Att->bof())
        setNavigation(false, true);
    else
        setNavigation(true, true);
}

void TFM_PreView::Next_Pg_BtnClick()
{
    guarded([&] { m_dm->TB_Att->next(); });
    Db_Record_Prt();
    if (m_dm->TB_Att->eof())
        setNavigation(true, false);
    else
        setNavigation(true, true);
}

void TFM_PreView::Last_Pg_BtnClick()
{
    guarded([&] { m_dm->TB_Att->last(); });
    Db_Record_Prt();
    setNavigation(true, false);
}

void TFM_PreView::Print_BtnClick()
{
    QPrinter* printer = PrinterStore::printer();
    if (!PrinterStore::isReady(printer)) {
        prompt().message(PrinterStore::notReadyMessage());
        return;
    }
    if (m_pageSetup && !m_pageSetup(printer))
        return;
    if (!PrinterStore::confirmOverwrite(printer))
        return;
    BatchPrint::Result r;
    const bool ok = guarded([&] {
        r = BatchPrint::printCurrent(printer, m_dm, SurfacePositions(m_surface), *m_session);
    });
    if (ok && !r.ok)
        prompt().error(r.message);
}

void TFM_PreView::Close_Btn1Click()
{
    close();
}

void TFM_PreView::done(int result)
{
    QDialog::done(result);
    if (m_mainWindow)
        m_mainWindow->show();
}
