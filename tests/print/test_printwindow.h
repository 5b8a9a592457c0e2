#pragma once

#include <QObject>
#include <memory>

class TestPrintWindow : public QObject
{
    Q_OBJECT
public:
    TestPrintWindow();
    ~TestPrintWindow() override;

    struct Fixture;
    std::unique_ptr<Fixture> m_f;

private Q_SLOTS:
    void init();
    void cleanup();
    void batchAsksFirst_data();
    void batchAsksFirst();
    void batchSkipsBlankRows();
    void batchListsRowsThatDoNotFit_data();
    void batchListsRowsThatDoNotFit();
    void batchListsRowsToCheck_data();
    void batchListsRowsToCheck();
    void batchRefusals();
    void toolbarCommands();
    void unsavedEditsPrintAsShown();
    void fieldFontsPrintAsShown();
    void previewZoomAndPaging();
    void previewDrawsTheCurrentRows();
    void previewOutlinesTextThatDoesNotFit();
    void previewShowsWholeLinesOnly();
    void previewWithoutItsPicture();
    void previewShowsTheNewTemplatesPicture();
    void printCurrentRowFromTheGrid();
    void existingPdfIsReplacedOnlyWhenConfirmed_data();
    void existingPdfIsReplacedOnlyWhenConfirmed();
    void previewPlacesTextsAsTheSurface_data();
    void previewPlacesTextsAsTheSurface();
    void pagingButtonsFollowTheRowShown_data();
    void pagingButtonsFollowTheRowShown();
    void batchPrintsTheChosenRows_data();
    void batchPrintsTheChosenRows();
    void rowsDialogOffersWhatPrints();
    void rowsChoiceStartsOnWhatTheGridShows_data();
    void rowsChoiceStartsOnWhatTheGridShows();
    void printLogReprintsAJobsRows();
    void gridKeepsItsPlaceThroughPrinting_data();
    void gridKeepsItsPlaceThroughPrinting();
    void printedRowsLeaveTheUnprintedView();
    void calibrationDialogShowsAndSavesTheCurrentPrinters();
    void printerIsRememberedPerTemplate();
    void pageSetupOpensTheCalibration();
    void printFontIsKeptWithTheTemplate();
};
