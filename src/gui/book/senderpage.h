#pragma once

#include <QWidget>

#include <memory>

class Dataset;
class DataModule;

namespace Ui
{
class SenderPage;
}

// The "发件人信息" tab: the one sender row in bound edits.
class SenderPage : public QWidget
{
    Q_OBJECT
public:
    explicit SenderPage(QWidget* parent = nullptr);
    ~SenderPage() override;
    void bindData(DataModule* dm);

    // "保存": writes the edits into the sender row (the focused one too),
    // checks the mobile (trimmed; empty or 11 digits beginning with 1) and
    // posts the row, then says whether that worked. With no change it does
    // nothing. False when the row was refused or could not be written.
    bool saveSender();
    // Before the page is left: with unsaved changes asks whether to save,
    // discard them or stay; true when the page may be left.
    bool mayLeave();

private:
    std::unique_ptr<Ui::SenderPage> m_ui;
    Dataset* m_send = nullptr;
};
