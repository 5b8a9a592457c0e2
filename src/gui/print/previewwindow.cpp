#include "gui/print/previewwindow.h"
#include "ui_previewwindow.h"

#include "gui/centre.h"

#include "base/dataerror.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "base/session.h"
#include "data/datamodule.h"
#include "gui/print/printactions.h"
#include "gui/templates/designsurface.h"
#include "print/batchprint.h"
#include "print/printerstore.h"
#include "render/printfonts.h"
#include "render/printgeometry.h"
#include "render/recordrenderer.h"
#include "templates/fieldcatalogue.h"
#include "templates/templatemessages.h"
#include "templates/templatestore.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPen>
#include <QScrollArea>
#include <QToolButton>

PreviewWindow::PreviewWindow(DataModule* dm, const Session* session, const DesignSurface* surface,
                             QWidget* mainWindow, PageSetup pageSetup)
    : QDialog(mainWindow), m_ui(std::make_unique<Ui::PreviewWindow>()), m_dm(dm),
      m_session(session), m_surface(surface), m_mainWindow(mainWindow),
      m_pageSetup(std::move(pageSetup))
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    m_ui->setupUi(this);
    m_caption = windowTitle();

    connect(m_ui->zoomBox, &QComboBox::activated, this, &PreviewWindow::applyZoom);
    connect(m_ui->firstButton, &QToolButton::clicked, this, &PreviewWindow::showFirstRow);
    connect(m_ui->previousButton, &QToolButton::clicked, this, &PreviewWindow::showPreviousRow);
    connect(m_ui->nextButton, &QToolButton::clicked, this, &PreviewWindow::showNextRow);
    connect(m_ui->lastButton, &QToolButton::clicked, this, &PreviewWindow::showLastRow);
    connect(m_ui->printButton, &QToolButton::clicked, this, &PreviewWindow::printRowShown);
    connect(m_ui->closeButton, &QToolButton::clicked, this, &QWidget::close);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    openOnCurrentRow();
}

void PreviewWindow::openOnCurrentRow()
{
    centreOnScreen(this);
    if (m_mainWindow)
        m_mainWindow->hide();
    if (!TemplateStore::findRow(m_dm->templates, m_session->currentTemplateRow,
                                m_session->currentTemplate))
        prompt().message(TemplateMessages::noCurrentTemplate());
    // The row the grid shows as current; paging leaves the cursor there.
    const Dataset* att = m_dm->recipients;
    m_rowId = att->rowId(att->recNo());
    drawRowShown();
    // However the window was opened, the paging buttons follow the row shown.
    const int row = rowShown();
    setNavigation(row > 0, row >= 0 && row < att->recordCount() - 1);
    m_w0 = m_ui->pictureLabel->width();
    m_h0 = m_ui->pictureLabel->height();
    m_ui->zoomBox->setCurrentIndex(m_ui->zoomBox->findText(QStringLiteral("100%")));
}

void PreviewWindow::setImageSize(const QSize& size)
{
    m_ui->pictureLabel->resize(size);
}

int PreviewWindow::rowShown() const
{
    return m_dm->recipients->rowOf(m_rowId);
}

void PreviewWindow::drawRowShown()
{
    // 1. The size of the design surface's picture.
    const QSize size = m_surface->backgroundImage()->size();
    setImageSize(size);

    // The row of the current model, found by name; without one no text is drawn.
    Dataset* model = m_dm->templates;
    const bool haveModel =
        model->recNo() >= 0 && !model->eof() &&
        model->fieldByName(TemplateStore::Column::Name).asString() == m_session->currentTemplate;
    // 2. The picture of the template as shown (a new one's before it is
    // saved), else the stored one; it replaces the earlier record's.
    const TemplateLayout& layout = m_surface->layout();
    QImage image = layout.picture;
    QString error;
    if (image.isNull() && model->recNo() >= 0) {
        const QString name = model->fieldByName(TemplateStore::Column::PictureName).asString();
        try {
            image = TemplateStore::templatePicture(m_dm->database(), m_session->appDir, name);
        } catch (const DataError& e) {
            error = shownText(e);
        }
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
    // 3 and 4. The sender and the row on show at their design offsets, unscaled.
    const int row = rowShown();
    if (haveModel) {
        guarded([&] {
            const PrintFonts fonts = PrintFonts::of(layout, *m_session);
            const RecordFields fields =
                RecordRenderer::Collector(layout, m_dm->sender, m_dm->recipients).collect(row);
            const FieldFits fits = layout.fits();
            const QFont& font = fonts.print;
            QPainter p(&image);
            p.setFont(font);
            RecordRenderer::drawRecord(p, fields, m_session->printColour(),
                                       PrintGeometry::kDesignDpi, PrintGeometry::kDesignDpi,
                                       Calibration(), fits);
            // Text that will not print whole is outlined in red.
            const Misfits misfits =
                RecordRenderer::misfits(fields, fits, font, &image, image.width(), image.height());
            p.setPen(QPen(Qt::red, 1));
            p.setBrush(Qt::NoBrush);
            for (const RenderField& r : fields)
                for (const Misfit& m : misfits)
                    if (m.field == r.field)
                        p.drawRect(RecordRenderer::textRect(r, fits, font, &image));
        });
    }
    m_rendered = image;
    m_ui->pictureLabel->setPixmap(QPixmap::fromImage(image));
    // Which waybill of how many, as the grid numbers the rows.
    const int rows = m_dm->recipients->recordCount();
    setWindowTitle(row >= 0 && rows > 0
                       ? QStringLiteral("%1 - 第 %2 / %3 张").arg(m_caption).arg(row + 1).arg(rows)
                       : m_caption);
    if (!error.isEmpty())
        prompt().error(error);
}

void PreviewWindow::showRowAtZoom(int row)
{
    m_rowId = m_dm->recipients->rowId(row);
    drawRowShown();
    // The zoom in use stays what the list shows.
    if (m_ui->pictureLabel->hasScaledContents())
        applyZoom();
}

void PreviewWindow::applyZoom()
{
    const QString zoom = m_ui->zoomBox->currentText();
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
        size = QSize(m_ui->pictureArea->width() - 8, m_ui->pictureArea->height() - 8);
    else
        return;
    m_ui->pictureLabel->setScaledContents(true);
    setImageSize(size);
}

void PreviewWindow::setNavigation(bool firstPrior, bool nextLast)
{
    m_ui->firstButton->setEnabled(firstPrior);
    m_ui->previousButton->setEnabled(firstPrior);
    m_ui->nextButton->setEnabled(nextLast);
    m_ui->lastButton->setEnabled(nextLast);
}

void PreviewWindow::showFirstRow()
{
    const int rows = m_dm->recipients->recordCount();
    showRowAtZoom(rows > 0 ? 0 : -1);
    setNavigation(false, true);
}

void PreviewWindow::showPreviousRow()
{
    const int row = rowShown();
    if (row > 0) {
        showRowAtZoom(row - 1);
        setNavigation(true, true);
    } else {
        setNavigation(false, true);
    }
}

void PreviewWindow::showNextRow()
{
    // Paging onto the last row leaves the buttons on; paging past it, off.
    const int row = rowShown();
    if (row >= 0 && row < m_dm->recipients->recordCount() - 1) {
        showRowAtZoom(row + 1);
        setNavigation(true, true);
    } else {
        setNavigation(true, false);
    }
}

void PreviewWindow::showLastRow()
{
    const int rows = m_dm->recipients->recordCount();
    showRowAtZoom(rows - 1);
    setNavigation(true, false);
}

void PreviewWindow::printRowShown()
{
    // On a server: a row another station prints or printed only if the user says so.
    if (rowShown() >= 0 && !PrintActions::askAboutTakenRows(m_dm, *m_session, {rowShown()}))
        return;
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
        r = BatchPrint::printRow(printer, m_dm, m_surface->layout(), *m_session, rowShown());
    });
    if (ok && !r.ok)
        prompt().error(r.message);
}

void PreviewWindow::done(int result)
{
    QDialog::done(result);
    if (m_mainWindow)
        m_mainWindow->show();
}
