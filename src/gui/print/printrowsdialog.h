#pragma once

#include "render/printprompt.h"

#include <QDialog>
#include <memory>

namespace Ui
{
class PrintRowsDialog;
}

// "打印范围": which recipient rows a batch prints, starting on the offer's
// initial choice. Choices that would print nothing are greyed out; the range
// edit takes row numbers as the grid shows them.
class PrintRowsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PrintRowsDialog(const PrintPrompt::RowsOffer& offer, QWidget* parent = nullptr);
    ~PrintRowsDialog() override;

    PrintPrompt::RowsChoice choice() const;

private:
    // Typing a range chooses it.
    void chooseRange();

    std::unique_ptr<Ui::PrintRowsDialog> m_ui;
};
