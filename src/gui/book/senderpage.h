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

    // "保存": posts the sender row when a value was written into it; says
    // whether that worked. With no change it does nothing.
    void saveSender();

private:
    std::unique_ptr<Ui::SenderPage> m_ui;
    Dataset* m_send = nullptr;
};
