#pragma once

#include <QDialog>
#include <QImage>
#include <functional>
#include <memory>

class DesignSurface;
class QPrinter;
class DataModule;
struct Session;

namespace Ui
{
class PreviewWindow;
}

// The print preview: the template's picture with the sender and one
// recipient drawn in, five zoom levels, paging through the recipients (the
// title says which of how many) and printing the row on show. It opens on
// the recipients' current row (the grid's) and pages by row ID without
// moving that cursor, so the grid stays where the user left it.
class PreviewWindow : public QDialog
{
    Q_OBJECT
public:
    // pageSetup locates the current model and sets the printer's paper; it
    // returns false (having said why) when no job may start.
    using PageSetup = std::function<bool(QPrinter*)>;

    // mainWindow is hidden while the preview shows, and owns it; session
    // names the template in use and the print font.
    PreviewWindow(DataModule* dm, const Session* session, const DesignSurface* surface,
                  QWidget* mainWindow, PageSetup pageSetup);
    ~PreviewWindow() override;

    // Applies the zoom chosen in the zoom box to the picture.
    void applyZoom();
    // Paging through the recipients; the paging buttons follow the row.
    void showFirstRow();
    void showPreviousRow();
    void showNextRow();
    void showLastRow();

    QSize naturalSize() const { return QSize(m_w0, m_h0); }
    qint64 rowIdShown() const { return m_rowId; }
    QImage renderedImage() const { return m_rendered; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    // Centres the window, hides the main window and draws the current row
    // at 100%; runs on every showing.
    void openOnCurrentRow();
    // The index of the row on show in the recipient table, -1 for none.
    int rowShown() const;
    // Draws the sender and the recipient on show into the template's picture.
    void drawRowShown();
    // Shows row `row` at the zoom the list shows.
    void showRowAtZoom(int row);
    void printRowShown();
    void setImageSize(const QSize& size);
    void setNavigation(bool firstPrior, bool nextLast);

    std::unique_ptr<Ui::PreviewWindow> m_ui;
    DataModule* m_dm;
    const Session* m_session;
    const DesignSurface* m_surface;
    QWidget* m_mainWindow;
    PageSetup m_pageSetup;
    QImage m_rendered;
    QString m_caption;  // the window's title without the row
    qint64 m_rowId = 0; // the recipient on show
    int m_w0 = 0;
    int m_h0 = 0;
};
