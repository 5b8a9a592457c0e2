#pragma once

#include <QObject>
#include <memory>

// Code 128 and QR fields printed to PDF, rasterised and scanned back.
class TestBarcode : public QObject
{
    Q_OBJECT
public:
    TestBarcode();
    ~TestBarcode() override;

    struct Fixture;
    std::unique_ptr<Fixture> m_f;

private Q_SLOTS:
    void init();
    void cleanup();
    void symbolsScanAtTheirPlace_data();
    void symbolsScanAtTheirPlace();
    void calibrationMovesSymbolsNotTheirModules();
    void templatePicturePrintsWhenSet();
    void testSheetShowsSymbols();
    void valueThatCannotBeEncodedPrintsAsText();
    void everyPageScansItsOwnRow();
    void fieldCommandRefusesBadInput_data();
    void fieldCommandRefusesBadInput();
};
