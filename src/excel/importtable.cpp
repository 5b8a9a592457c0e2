#include "excel/importtable.h"

#include "address/addressparser.h"
#include "base/dataerror.h"
#include "base/prompt.h"
#include "book/ordernumbers.h"
#include "book/recipientrows.h"
#include "excel/importrows.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>

namespace
{

// Thrown inside the transaction to leave it by the rollback path.
struct Canceled {
};
struct NoRows {
};

ImportResult writeRecipients(Dataset* att, ImportRows& rows, bool replace,
                             const ImportProgress& progress, const AddressParser* splitter);

enum Col {
    Name = 0,
    Address = 2,
    Mobile = 3,
    Phone = 4,
    Destination = 5,
    Province = 6,
    City = 7,
    County = 8,
    PostCode = 9,
    OrderNo = 15
};

bool blank(const QString& s)
{
    return s.trimmed().isEmpty();
}

// Splits the row's whole address in place; the verdict, or nothing when
// the row is not one to split.
std::optional<ParsedAddress::Verdict> splitAddress(const AddressParser& parser, QStringList& t)
{
    if (t.at(Address).isNull() || blank(t.at(Address)) || !blank(t.at(Province)) ||
        !blank(t.at(City)) || !blank(t.at(County)))
        return std::nullopt;
    const ParsedAddress a = parser.parse(t.at(Address));
    if (a.verdict != ParsedAddress::Verdict::Sure)
        return a.verdict;
    t[Province] = a.province;
    t[City] = a.city;
    t[County] = a.district;
    if (blank(t.at(Destination)))
        t[Destination] = a.city;
    if (!a.detail.isEmpty())
        t[Address] = a.detail;
    const auto fill = [&t](int col, const QString& value) {
        if (blank(t.at(col)) && !value.isEmpty())
            t[col] = value;
    };
    fill(Name, a.name);
    fill(Mobile, a.mobile);
    fill(Phone, a.landline);
    fill(PostCode, a.postcode);
    return a.verdict;
}

} // namespace

bool splitsAddressesByDefault(const QStringList& titles)
{
    return !blank(titles.value(Address)) && blank(titles.value(Province)) &&
           blank(titles.value(City)) && blank(titles.value(County));
}

ImportResult replaceRecipients(Dataset* att, ImportRows& rows, const ImportProgress& progress,
                               const AddressParser* splitter)
{
    return writeRecipients(att, rows, true, progress, splitter);
}

ImportResult appendRecipients(Dataset* att, ImportRows& rows, const ImportProgress& progress,
                              const AddressParser* splitter)
{
    return writeRecipients(att, rows, false, progress, splitter);
}

namespace
{

ImportResult writeRecipients(Dataset* att, ImportRows& rows, bool replace,
                             const ImportProgress& progress, const AddressParser* splitter)
{
    ImportResult result;
    const QStringList columns = importColumns();
    RecipientRows writer(att);
    int stored = 0;
    try {
        writer.inTransaction([&] {
            result.keptForOthers = replace ? writer.empty() : 0;
            stored = 0;
            result.split = 0;
            result.ambiguousRows.clear();
            result.unrecognisedRows.clear();
            result.freshOrders = 0;
            result.presentOrders = 0;
            QSet<QString> known;
            if (!replace)
                known = OrderNumbers::inTable(att);
            const int total = rows.count();
            const int step = importProgressStep(total);
            RecipientRows::Values values;
            while (!rows.atEnd()) {
                QStringList texts = rows.next();
                bool wanted = !isBlankImportRow(texts);
                if (wanted && !texts.at(OrderNo).isNull()) {
                    const QStringList numbers = OrderNumbers::split(texts.at(OrderNo));
                    if (numbers.isEmpty()) {
                        ++result.freshOrders;
                    } else {
                        const QStringList fresh =
                            replace ? numbers
                                    : OrderNumbers::takeNew(numbers, &known, &result.presentOrders);
                        wanted = !fresh.isEmpty();
                        result.freshOrders += int(fresh.size());
                        texts[OrderNo] = OrderNumbers::join(fresh);
                    }
                }
                if (wanted) {
                    const int sheetRow = rows.titleRow() + rows.done();
                    if (splitter) {
                        const auto verdict = splitAddress(*splitter, texts);
                        if (verdict == ParsedAddress::Verdict::Sure)
                            ++result.split;
                        else if (verdict == ParsedAddress::Verdict::Ambiguous)
                            result.ambiguousRows << sheetRow;
                        else if (verdict == ParsedAddress::Verdict::NotRecognised)
                            result.unrecognisedRows << sheetRow;
                    }
                    values.clear();
                    for (qsizetype i = 0; i < texts.size(); ++i) {
                        if (!texts.at(i).isNull())
                            values.append({columns.at(i), texts.at(i)});
                    }
                    // Another station may have added some of its orders meanwhile.
                    const int taken = writer.append(values);
                    result.freshOrders -= taken;
                    result.presentOrders += taken;
                    if (taken == 0 || taken < OrderNumbers::split(texts.at(OrderNo)).size())
                        ++stored;
                }
                const int done = rows.done();
                if (progress && (done % step == 0 || done == total) && !progress(done, total))
                    throw Canceled();
            }
            // Emptying the table for nothing would only lose the old rows.
            if (stored == 0 && result.presentOrders == 0)
                throw NoRows();
        });
    } catch (const Canceled&) {
        result.status = ImportResult::Status::Canceled;
        return result;
    } catch (const NoRows&) {
        result.status = ImportResult::Status::NoRows;
        return result;
    } catch (const DataError& e) {
        result.error = e.message();
        return result;
    } catch (const std::exception& e) {
        result.error = QString::fromLocal8Bit(e.what());
        return result;
    }
    result.status = ImportResult::Status::Done;
    result.rows = stored;
    result.orderNumbers = !rows.columns().isEmpty() && rows.columns().value(OrderNo) > 0;
    return result;
}

} // namespace

QString importSplitSummary(const ImportResult& result)
{
    if (result.split == 0 && result.ambiguousRows.isEmpty() && result.unrecognisedRows.isEmpty())
        return {};
    const auto rowList = [](const QList<int>& rows) -> QString {
        QStringList numbers;
        for (int i = 0; i < rows.size() && i < 30; ++i)
            numbers << QString::number(rows.at(i));
        return QStringLiteral("第 ") + numbers.join(QStringLiteral("、")) +
               (rows.size() > 30 ? QStringLiteral(" 等行") : QStringLiteral(" 行"));
    };
    QString text = QStringLiteral("\n拆分整段地址 %1 条。").arg(result.split);
    if (!result.ambiguousRows.isEmpty())
        text += QStringLiteral("\n地区待确认 %1 条（%2）。")
                    .arg(result.ambiguousRows.size())
                    .arg(rowList(result.ambiguousRows));
    if (!result.unrecognisedRows.isEmpty())
        text += QStringLiteral("\n未识别 %1 条（%2）。")
                    .arg(result.unrecognisedRows.size())
                    .arg(rowList(result.unrecognisedRows));
    if (!result.ambiguousRows.isEmpty() || !result.unrecognisedRows.isEmpty())
        text += QStringLiteral("\n这些行的完整地址保留在详细地址中，请选择省、市、区县。");
    return text;
}

QString importOrdersSummary(const ImportResult& result)
{
    if (!result.orderNumbers)
        return {};
    return QStringLiteral("\n新订单 %1 条，已有 %2 条未重复导入。")
        .arg(result.freshOrders)
        .arg(result.presentOrders);
}

int importProgressStep(int total)
{
    return std::max(1, total / 1000);
}

ImportResult importWithProgress(Dataset* att, ImportRows& rows, bool append,
                                const AddressParser* splitter)
{
    const int total = rows.count();
    const std::unique_ptr<Prompt::Progress> progress =
        prompt().progress(importProgressText(0, total), std::max(1, total));
    const ImportProgress told = [&](int done, int all) {
        progress->setLabelText(importProgressText(done, all));
        return progress->setValue(done);
    };
    return append ? appendRecipients(att, rows, told, splitter)
                  : replaceRecipients(att, rows, told, splitter);
}

QString importDoneMessage(const ImportResult& result)
{
    QString text =
        importCountMessage(result.rows) + importOrdersSummary(result) + importSplitSummary(result);
    if (result.keptForOthers > 0)
        text += QLatin1Char('\n') + RecipientRows::keptForOthersText(result.keptForOthers);
    return text;
}
