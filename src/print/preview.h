#pragma once

#include <QDialog>
#include <QImage>
#include <functional>

class DesignSurface;
class QComboBox;
class QGroupBox;
class QLabel;
class QPrinter;
class QScrollArea;
class QToolButton;
class TDataModule1;
struct Session;

// The print preview: the template's picture with the current sender and
// recipient drawn in, five zoom levels, paging through the recipients and
// printing the row on show.
class TFM_PreView : public QDialog
{
    Q_OBJECT
public:
    // pageSetup locates the current model and sets the printer's paper; it
    // returns false (having said why) when no job may start.
    using PageSetup = std::function<bool(QPrinter*)>;

    // mainWindow is hidden while the preview shows, and owns it; session
    // names the template in use and the print font.
    TFM_PreView(TDataModule1* dm, const Session* session, const DesignSurface* surface,
                QWidget* mainWindow, PageSetup pageSetup);
    ~TFM_PreView() override;

    void FormActivate();
    void Db_Record_Prt();
    void ComboBox1Change();
    void First_Pg_BtnClick();
    void Prior_Pg_BtnClick();
    void Next_Pg_BtnClick();
    void Last_Pg_BtnClick();
    void Print_BtnClick();
    void Close_Btn1Click();

    QSize naturalSize() const { return QSize(m_w0, m_h0); }
    QImage renderedImage() const { return m_rendered; }

    QScrollArea* ScrollBox1;
    QLabel* Model_BKimg;
    QGroupBox* GroupBox1;
    QComboBox* ComboBox1;
    QToolButton* First_Pg_Btn;
    QToolButton* Prior_Pg_Btn;
    QToolButton* Next_Pg_Btn;
    QToolButton* Last_Pg_Btn;
    QGroupBox* GroupBox2;
    QToolButton* Print_Btn;
    QToolButton* Close_Btn1;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void setImageSize(const QSize& size);
    void setNavigation(bool firstPrior, bool nextLast);

    TDataModule1* m_dm;
    const Session* m_session;
    const DesignSurface* m_surface;
    QWidget* m_mainWindow;
    PageSetup m_pageSetup;
    QImage m_rendered;
    int m_w0 = 0;
    int m_h0 = 0;
};
