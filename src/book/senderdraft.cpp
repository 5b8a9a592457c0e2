#include "book/senderdraft.h"

#include "base/dataerror.h"
#include "data/dataset.h"

SenderDraft::SenderDraft(Dataset* sender, QObject* parent) : QObject(parent), m_sender(sender)
{
    // The row read again or written elsewhere: untyped columns follow it.
    const auto everyColumn = [this] { Q_EMIT changed(QString()); };
    connect(sender, &Dataset::resetDone, this, everyColumn);
    connect(sender, &Dataset::currentChanged, this, everyColumn);
    connect(sender, &Dataset::rowChanged, this, everyColumn);
    connect(sender, &Dataset::rowsChanged, this, everyColumn);
    connect(sender, &Dataset::rowsInserted, this, everyColumn);
    connect(sender, &Dataset::rowsRemoved, this, everyColumn);
}

QString SenderDraft::stored(const QString& column) const
{
    const int field = m_sender->fieldIndex(column);
    if (field < 0 || !m_sender->isActive() || m_sender->recNo() < 0)
        return QString();
    return m_sender->cellText(m_sender->recNo(), field);
}

QString SenderDraft::value(const QString& column) const
{
    const auto typed = m_typed.constFind(column);
    return typed != m_typed.constEnd() ? *typed : stored(column);
}

void SenderDraft::setValue(const QString& column, const QString& text)
{
    const QString before = value(column);
    if (text == stored(column))
        m_typed.remove(column);
    else
        m_typed.insert(column, text);
    if (value(column) != before)
        Q_EMIT changed(column);
}

void SenderDraft::save()
{
    if (m_typed.isEmpty())
        return;
    if (!m_sender->isActive())
        m_sender->open();
    QVector<std::pair<int, QVariant>> values;
    for (auto it = m_typed.constBegin(); it != m_typed.constEnd(); ++it) {
        const int field = m_sender->fieldIndex(it.key());
        if (field < 0)
            throw DataError(
                QStringLiteral("%1: Field '%2' not found").arg(m_sender->objectName(), it.key()));
        values.append({field, it.value()});
    }
    const int row = m_sender->recNo();
    if (row < 0)
        m_sender->insertRow(values);
    else
        m_sender->updateRow(row, values);
    m_typed.clear();
    Q_EMIT changed(QString());
}

void SenderDraft::cancel()
{
    if (m_typed.isEmpty())
        return;
    m_typed.clear();
    Q_EMIT changed(QString());
}
