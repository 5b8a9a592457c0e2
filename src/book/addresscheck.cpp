#include "book/addresscheck.h"

#include "address/addressparser.h"
#include "book/blankrecipient.h"
#include "book/contactnumbers.h"
#include "data/dataset.h"

QStringList addressCheckReasons(const AddressParser* parser, const AddressCheckValues& values)
{
    QStringList reasons;
    const QString province = values.province.trimmed();
    const QString city = values.city.trimmed();
    const QString district = values.district.trimmed();
    const bool noRegions = province.isEmpty() && city.isEmpty() && district.isEmpty();
    if (parser && !noRegions && !parser->regionsBelongTogether(province, city, district))
        reasons << QStringLiteral("省市区不匹配");
    const QString mobile = values.mobile.trimmed();
    const bool landlineOnly = mobile.isEmpty() && !values.phone.trimmed().isEmpty();
    if (!landlineOnly && (mobile.isEmpty() || !mobileNumberProblem(mobile).isEmpty()))
        reasons << QStringLiteral("手机号不是11位");
    if (!postCodeProblem(values.postCode.trimmed()).isEmpty())
        reasons << QStringLiteral("邮编不是6位");
    return reasons;
}

QStringList addressCheckReasons(const AddressParser* parser, Dataset* recipients, int row)
{
    if (isBlankRecipient(recipients, row))
        return {};
    auto text = [&](const char* name) {
        const int field = recipients->fieldIndex(QString::fromLatin1(name));
        return field < 0 ? QString() : recipients->cellText(row, field);
    };
    return addressCheckReasons(parser, {text("Prvince"), text("City"), text("Country"),
                                        text("Mobile"), text("Phone"), text("PostCode")});
}
