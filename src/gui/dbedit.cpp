#include "gui/dbedit.h"

#include "base/guarded.h"
#include "data/dataset.h"

#include <QKeyEvent>

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &DBEdit::onTextEdited);
}

void DBEdit::bind(Dataset* dataset, const QString& column)
{
    if (m_dataset)
        disconnect(m_dataset, nullptr, this, nullptr);
    m_dataset = dataset;
    m_column = column;
    if (!dataset)
        return;
    connect(dataset, &Dataset::currentChanged, this, &DBEdit::showValue);
    connect(dataset, &Dataset::rowChanged, this, [this](int row) {
        if (m_dataset && row == m_dataset->recNo())
            showValue();
    });
    connect(dataset, &Dataset::resetDone, this, &DBEdit::showValue);
    connect(dataset, &Dataset::stateChanged, this, &DBEdit::showValue);
    connect(dataset, &Dataset::updateRecordRequested, this, &DBEdit::updateRecord);
    showValue();
}

void DBEdit::showValue()
{
    if (m_showing || !m_dataset)
        return;
    // A pending change of this edit is not overwritten by a redisplay of
    // the same row in edit mode.
    if (m_userChanged && m_dataset->state() != Dataset::State::Browse)
        return;
    m_showing = true;
    m_userChanged = false;
    const int f = m_dataset->fieldIndex(m_column);
    const QVariant v = f >= 0 && m_dataset->isActive() && m_dataset->recNo() >= 0
                           ? m_dataset->value(f)
                           : QVariant();
    setText(v.isNull() ? QString() : v.toString());
    setCursorPosition(0);
    m_showing = false;
}

void DBEdit::onTextEdited()
{
    if (!m_dataset || !m_dataset->isActive())
        return;
    m_userChanged = true;
    // Typing starts editing the row (on an empty table, a new row).
    if (m_dataset->state() == Dataset::State::Browse) {
        guarded([this] {
            m_showing = true; // keep the typed text while the row goes into edit mode
            try {
                m_dataset->edit();
            } catch (...) {
                m_showing = false;
                throw;
            }
            m_showing = false;
        });
    }
}

void DBEdit::updateRecord()
{
    if (!m_userChanged || !m_dataset || m_showing)
        return;
    if (m_dataset->state() == Dataset::State::Browse)
        return;
    const int f = m_dataset->fieldIndex(m_column);
    if (f < 0)
        return;
    m_userChanged = false;
    m_showing = true;
    guarded([&] { m_dataset->setValue(f, text()); });
    m_showing = false;
}

void DBEdit::focusOutEvent(QFocusEvent* event)
{
    updateRecord();
    QLineEdit::focusOutEvent(event);
}

void DBEdit::keyPressEvent(QKeyEvent* event)
{
    // Esc gives up the typed change, as in other data-aware edits.
    if (event->key() == Qt::Key_Escape && m_userChanged) {
        m_userChanged = false;
        showValue();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
