#pragma once

#include <QWidget>

#include <memory>

class SenderDraft;

namespace Ui
{
class SenderPage;
}

// The "发件人信息" tab: the sender's values in plain edits, shown from and
// typed into the sender draft the design surface shares.
class SenderPage : public QWidget
{
    Q_OBJECT
public:
    explicit SenderPage(QWidget* parent = nullptr);
    ~SenderPage() override;
    void bindData(SenderDraft* draft);

    // "保存": checks the mobile (trimmed; empty or 11 digits beginning with
    // 1) and writes the typed values into the sender row, then says whether
    // that worked. With no change it does nothing. False when the values
    // were refused or could not be written.
    bool saveSender();
    // Before the page is left: with unsaved changes asks whether to save,
    // discard them or stay; true when the page may be left.
    bool mayLeave();

private:
    void showValue(const QString& column);

    std::unique_ptr<Ui::SenderPage> m_ui;
    SenderDraft* m_draft = nullptr;
};
