#include "templates/templatestore.h"

#include "base/dataerror.h"
#include "data/dataset.h"
#include "data/schema.h"
#include "templates/fieldcatalogue.h"
#include "templates/templatemessages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>
#include <optional>
#include <utility>

namespace TemplateStore
{

namespace
{

// Pictures are opaque forms: anything with transparency is laid on white,
// and every comparison and file uses one 24-bit form.
QImage opaque(const QImage& picture)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage out(picture.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, picture);
    return out;
}

} // namespace

bool findByName(Dataset* tbModel, const QString& name)
{
    tbModel->first();
    while (!tbModel->eof()) {
        if (tbModel->fieldByName(Column::Name).asString() == name)
            return true;
        tbModel->next();
    }
    return false;
}

qint64 resolveRow(Dataset* tbModel, qint64 rowid, const QString& name)
{
    const int f = tbModel->fieldIndex(Column::Name);
    if (f < 0)
        return -1;
    qint64 first = -1;
    for (int row = 0; row < tbModel->recordCount(); ++row) {
        if (tbModel->cellText(row, f) != name)
            continue;
        if (tbModel->rowId(row) == rowid)
            return rowid;
        if (first < 0)
            first = tbModel->rowId(row);
    }
    return first;
}

bool findRow(Dataset* tbModel, qint64 rowid, const QString& name)
{
    const qint64 row = resolveRow(tbModel, rowid, name);
    if (row >= 0 && tbModel->gotoBookmark(row))
        return true;
    return findByName(tbModel, name);
}

qint64 rowWithSameName(Dataset* tbModel, const QString& name, qint64 exceptRow)
{
    const int f = tbModel->fieldIndex(Column::Name);
    const QString wanted = trimmedName(name);
    for (int row = 0; f >= 0 && row < tbModel->recordCount(); ++row)
        if (tbModel->rowId(row) != exceptRow && trimmedName(tbModel->cellText(row, f)) == wanted)
            return tbModel->rowId(row);
    return -1;
}

bool pictureInUse(Dataset* tbModel, const QString& pictureName, qint64 exceptRow)
{
    const int f = tbModel->fieldIndex(Column::PictureName);
    for (int row = 0; f >= 0 && row < tbModel->recordCount(); ++row)
        if (tbModel->rowId(row) != exceptRow && tbModel->cellText(row, f) == pictureName)
            return true;
    return false;
}

QString columnOfRow(Dataset* tbModel, qint64 rowid, const QString& column)
{
    const int f = tbModel->fieldIndex(column);
    for (int row = 0; f >= 0 && row < tbModel->recordCount(); ++row)
        if (tbModel->rowId(row) == rowid)
            return tbModel->cellText(row, f);
    return QString();
}

QVector<qint64> modelRows(Dataset* tbModel)
{
    QVector<qint64> rows;
    for (int row = 0; row < tbModel->recordCount(); ++row)
        rows << tbModel->rowId(row);
    return rows;
}

QStringList modelNames(Dataset* tbModel)
{
    QStringList names;
    const int f = tbModel->fieldIndex(Column::Name);
    if (f < 0)
        return names;
    for (int row = 0; row < tbModel->recordCount(); ++row)
        names << tbModel->cellText(row, f);
    return names;
}

namespace
{
bool isBlankChar(QChar c)
{
    return c.isSpace() || c.category() == QChar::Other_Control;
}
} // namespace

QString trimmedName(const QString& name)
{
    int from = 0;
    int to = int(name.size());
    while (from < to && isBlankChar(name.at(from)))
        ++from;
    while (to > from && isBlankChar(name.at(to - 1)))
        --to;
    return name.mid(from, to - from);
}

bool isBlankName(const QString& name)
{
    return trimmedName(name).isEmpty();
}

std::optional<int> paperBoxNumber(const QString& boxText)
{
    QString digits = boxText;
    digits.remove(QLatin1Char(' '));
    if (digits.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

QString pictureDir(const QString& appDir)
{
    return appDir + QLatin1String("bkbmp/");
}

QImage loadPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage img = reader.read();
    if (img.isNull())
        throw DataError::refusal(
            QStringLiteral("背景图无法载入：%1（%2）").arg(path, reader.errorString()));
    return img;
}

namespace
{

// Model_Picture's picture of that name; nothing when there is none.
std::optional<QByteArray> serverPicture(const QSqlDatabase& db, const QString& name)
{
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("SELECT Data FROM Model_Picture WHERE Name = ?")))
        throw DataError(q.lastError().text());
    q.addBindValue(name);
    if (!q.exec())
        throw DataError(q.lastError().text());
    if (!q.next())
        return std::nullopt;
    return q.value(0).toByteArray();
}

} // namespace

QImage templatePicture(const QSqlDatabase& db, const QString& appDir, const QString& name)
{
    if (!Schema::isServer(db))
        return loadPicture(pictureDir(appDir) + name);
    // What the server holds is read by its content, like a file.
    const std::optional<QByteArray> data = serverPicture(db, name);
    const QImage img = data ? QImage::fromData(*data) : QImage();
    if (img.isNull())
        throw DataError::refusal(
            QStringLiteral("背景图无法载入：%1（%2）").arg(name, QStringLiteral("Model_Picture")));
    return img;
}

QString storedPictureName(const QString& chosenPath)
{
    const QFileInfo fi(chosenPath);
    if (fi.suffix().compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0)
        return fi.fileName();
    return fi.completeBaseName() + QLatin1String(".bmp");
}

bool samePicture(const QString& path, const QImage& picture)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage existing = reader.read();
    return !existing.isNull() && opaque(existing) == opaque(picture);
}

namespace
{

bool sameServerPicture(const QByteArray& data, const QImage& picture)
{
    const QImage existing = QImage::fromData(data);
    return !existing.isNull() && opaque(existing) == opaque(picture);
}

QString firstFreeName(const QString& wanted, const std::function<bool(const QString&)>& free)
{
    const QFileInfo fi(wanted);
    const QString base = fi.completeBaseName();
    const QString suffix = fi.suffix().isEmpty() ? QString() : QLatin1Char('.') + fi.suffix();
    QString name = wanted;
    for (int n = 2; !free(name); ++n)
        name = base + QLatin1Char('-') + QString::number(n) + suffix;
    return name;
}

} // namespace

QString freePictureName(const QString& dir, const QString& wanted, const QImage& picture)
{
    const QDir d(dir);
    return firstFreeName(wanted, [&](const QString& name) {
        const QString path = d.filePath(name);
        return !QFileInfo::exists(path) || samePicture(path, picture);
    });
}

QString freePictureName(const QSqlDatabase& db, const QString& dir, const QString& wanted,
                        const QImage& picture)
{
    if (!Schema::isServer(db))
        return freePictureName(dir, wanted, picture);
    return firstFreeName(wanted, [&](const QString& name) {
        const std::optional<QByteArray> stored = serverPicture(db, name);
        return !stored || sameServerPicture(*stored, picture);
    });
}

namespace
{

bool encodePicture(QIODevice* device, const QImage& picture, QString* error)
{
    QImageWriter writer(device, "bmp");
    if (writer.write(opaque(picture).convertToFormat(QImage::Format_RGB888)))
        return true;
    *error = writer.errorString();
    return false;
}

} // namespace

bool writePicture(const QString& path, const QImage& picture, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = TemplateMessages::cannotWritePicture(path, file.errorString());
        return false;
    }
    QString reason;
    if (!encodePicture(&file, picture, &reason)) {
        *error = TemplateMessages::cannotWritePicture(path, reason);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = TemplateMessages::cannotWritePicture(path, file.errorString());
        return false;
    }
    return true;
}

void storePicture(const QSqlDatabase& db, const QString& name, const QImage& picture)
{
    if (!Schema::isServer(db))
        return;
    if (const std::optional<QByteArray> stored = serverPicture(db, name)) {
        if (sameServerPicture(*stored, picture))
            return;
        throw DataError::refusal(TemplateMessages::pictureNameTaken(name));
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QString reason;
    if (!encodePicture(&buffer, picture, &reason))
        throw DataError(
            TemplateMessages::cannotWritePicture(QStringLiteral("Model_Picture"), reason));
    // Another station storing the same name at once waits for this one and
    // then fails on the key: never two pictures under one name.
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO Model_Picture (Name, Data) VALUES (?, ?)")))
        throw DataError(q.lastError().text());
    q.addBindValue(name);
    q.addBindValue(data);
    if (!q.exec())
        throw DataError(q.lastError().text());
}

void dropUnusedPicture(const QSqlDatabase& db, const QString& name)
{
    if (!Schema::isServer(db) || name.isEmpty())
        return;
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("DELETE FROM Model_Picture WHERE Name = ? AND NOT EXISTS "
                                  "(SELECT 1 FROM Exp_Model WHERE Bk_Bmp_Name = ?)")))
        throw DataError(q.lastError().text());
    q.addBindValue(name);
    q.addBindValue(name);
    if (!q.exec())
        throw DataError(q.lastError().text());
}

namespace
{

// The tables of a template's settings, each with the column beside
// Model_Name in its key (null when Model_Name alone is the key).
const std::pair<const char*, const char*> kNamedSettingsTables[] = {
    {"Print_Calibration", "Printer"}, {"Model_Field_Fit", "Field_Key"},  {"Model_Carrier", nullptr},
    {"Model_Print_Font", nullptr},    {"Model_Field_Font", "Field_Key"}, {"Model_Label", nullptr}};

void execOn(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw DataError(q.lastError().text());
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw DataError(q.lastError().text());
}

} // namespace

void moveNamedSettings(const QSqlDatabase& db, const QString& from, const QString& to)
{
    // A leftover of a template once deleted under the new name gives way
    // where its key meets one of the renamed rows.
    for (const auto& [table, second] : kNamedSettingsTables) {
        const QString name = QLatin1String(table);
        QString same = second ? QStringLiteral(" AND f.%1 = %2.%1").arg(QLatin1String(second), name)
                              : QString();
        // A server's calibrations are each station's: keyed by station too.
        if (name == QLatin1String("Print_Calibration") && Schema::isServer(db))
            same += QStringLiteral(" AND f.Station = %1.Station").arg(name);
        execOn(db,
               QStringLiteral("DELETE FROM %1 WHERE Model_Name = ? AND EXISTS (SELECT 1 FROM "
                              "%1 f WHERE f.Model_Name = ?%2)")
                   .arg(name, same),
               {to, from});
        execOn(db, QStringLiteral("UPDATE %1 SET Model_Name = ? WHERE Model_Name = ?").arg(name),
               {to, from});
    }
}

void dropNamedSettings(const QSqlDatabase& db, const QString& name)
{
    for (const auto& entry : kNamedSettingsTables)
        execOn(
            db,
            QStringLiteral("DELETE FROM %1 WHERE Model_Name = ?").arg(QLatin1String(entry.first)),
            {name});
}

} // namespace TemplateStore
