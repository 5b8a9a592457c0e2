#pragma once

#include "data/dataset.h"

#include <QString>

// A recipient row with neither a name nor an address (both blank after
// trimming) is no recipient: it gets no waybill number and prints no page.
inline bool isBlankRecipient(Dataset* att, int row)
{
    const int name = att->fieldIndex(QStringLiteral("Name"));
    const int address = att->fieldIndex(QStringLiteral("Address"));
    auto text = [&](int field) { return field < 0 ? QString() : att->cellText(row, field); };
    return text(name).trimmed().isEmpty() && text(address).trimmed().isEmpty();
}

// "已跳过 N 行既无姓名也无地址的收件人。"
inline QString skippedBlankRecipientsText(int rows)
{
    return QStringLiteral("已跳过 %1 行既无姓名也无地址的收件人。").arg(rows);
}
