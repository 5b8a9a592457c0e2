#pragma once

#include "data/dataset.h"

#include <QString>

// A recipient row with neither a name nor an address (both blank after
// trimming) is no recipient: it gets no waybill number and prints no page.
// The current row is read from its buffer while it is being edited.
inline bool isBlankRecipient(Dataset* att, int row)
{
    const int name = att->fieldIndex(QStringLiteral("Name"));
    const int address = att->fieldIndex(QStringLiteral("Address"));
    const bool editing = row == att->recNo() && att->state() != Dataset::State::Browse;
    auto text = [&](int field) {
        if (field < 0)
            return QString();
        return editing ? att->value(field).toString() : att->cellText(row, field);
    };
    return text(name).trimmed().isEmpty() && text(address).trimmed().isEmpty();
}

// "已跳过 N 行既无姓名也无地址的收件人。"
inline QString skippedBlankRecipientsText(int rows)
{
    return QStringLiteral("已跳过 %1 行既无姓名也无地址的收件人。").arg(rows);
}
