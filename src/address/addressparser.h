#pragma once

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

// One region reading: names exactly as in the region tables; district may be
// empty when the text names none.
struct RegionChoice {
    QString province;
    QString city;
    QString district;
    bool operator==(const RegionChoice& o) const
    {
        return province == o.province && city == o.city && district == o.district;
    }
};

struct ParsedAddress {
    enum class Verdict { Sure, Ambiguous, NotRecognised };

    QString name;
    QString mobile;   // 11 digits
    QString landline; // "0571-88886666", "0571-88886666转123"
    QString province; // for Ambiguous only the levels every candidate shares
    QString city;
    QString district;
    QString detail; // what is left of the address; the whole address when not recognised
    QString postcode;
    Verdict verdict = Verdict::NotRecognised;
    QList<RegionChoice> candidates; // Ambiguous: the readings, best first
    QString formerName;             // the former place name the text used, if any

    // "确定", "待确认", "未识别"
    QString verdictText() const;
};

// Built once from the region rows (tries of full names, short forms and
// former names); parse() is then read-only and may run from any thread.
class AddressParser
{
public:
    struct Row {
        QString code;
        QString name;
        QString parentCode; // empty for a province
    };
    AddressParser(const QList<Row>& provinces, const QList<Row>& cities, const QList<Row>& areas);
    ~AddressParser();
    AddressParser(const AddressParser&) = delete;
    AddressParser& operator=(const AddressParser&) = delete;

    // From the tables province, city and area; null with the reason when they
    // cannot be read or are empty.
    static std::unique_ptr<AddressParser> fromDatabase(const QSqlDatabase& db, QString* error);
    // From the region rows the program delivers, without any database file
    // (tests, benchmarks, fuzzing); null with the reason on failure.
    static std::unique_ptr<AddressParser> fromDeliveredRegions(QString* error);

    ParsedAddress parse(QStringView text) const;

    // Whether the three names exist together (district may be empty when the
    // city has none named).
    bool regionsBelongTogether(const QString& province, const QString& city,
                               const QString& district) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
