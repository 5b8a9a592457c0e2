#pragma once

#include <QString>
#include <QStringList>

class AddressParser;
class Dataset;

// The values of one recipient row that the address check reads.
struct AddressCheckValues {
    QString province;
    QString city;
    QString district;
    QString mobile;
    QString phone;
    QString postCode;
};

// What needs checking in a recipient's data, as short reasons for a list
// ("省市区不匹配", "手机号不是11位", "邮编不是6位"); empty when nothing does.
// Regions left wholly empty and an empty postcode were never typed; an
// empty mobile is fine when a landline is there. Without a parser the
// regions are not checked.
QStringList addressCheckReasons(const AddressParser* parser, const AddressCheckValues& values);

// The same for a recipient row, read from its buffer while it is being
// edited; empty for a row with neither name nor address.
QStringList addressCheckReasons(const AddressParser* parser, Dataset* recipients, int row);
