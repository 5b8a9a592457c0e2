#include "templates/newdatabase.h"

#include "base/dataerror.h"
#include "base/guarded.h"
#include "base/prompt.h"
#include "data/configini.h"
#include "data/datalocation.h"
#include "data/headerguard.h"
#include "data/schema.h"
#include "data/transaction.h"
#include "templates/fieldcatalogue.h"
#include "templates/templatestore.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace
{

// Where the background picture stands in the design panel.
constexpr int kPictureLeft = 24;
constexpr int kPictureTop = 16;

struct Place {
    const char* key;
    int x, y, width; // in picture pixels
};

// The delivered template's fields, over the boxes of the picture.
const Place kPlaces[] = {
    {"S_Name", 80, 60, 110},        {"S_Company", 240, 60, 150},      {"S_Address", 80, 98, 310},
    {"S_Prvince", 62, 136, 70},     {"S_City", 162, 136, 80},         {"S_Country", 285, 136, 105},
    {"S_Mobile", 80, 174, 110},     {"S_Phone", 240, 174, 150},       {"S_PostCode", 80, 212, 90},
    {"S_Departure", 250, 212, 140}, {"A_Name", 474, 60, 110},         {"A_Company", 634, 60, 150},
    {"A_Address", 474, 98, 310},    {"A_Prvince", 456, 136, 70},      {"A_City", 556, 136, 80},
    {"A_Country", 679, 136, 105},   {"A_Mobile", 474, 174, 110},      {"A_Phone", 634, 174, 150},
    {"A_PostCode", 474, 212, 90},   {"A_Disrination", 644, 212, 140}, {"S_Contents", 110, 300, 280},
    {"A_Custom1", 474, 300, 120},   {"A_Custom2", 664, 300, 120},     {"A_Custom3", 474, 338, 120},
    {"A_Custom4", 664, 338, 120},   {"A_Custom5", 474, 376, 120},     {"A_WayBillNo", 80, 376, 200},
    {"A_ExpName", 80, 338, 110},
};

const Place* placeOf(const QString& key)
{
    for (const Place& p : kPlaces)
        if (key == QLatin1String(p.key))
            return &p;
    return nullptr;
}

void drawBox(QPainter& p, int x, int y, int w, int h)
{
    p.drawRect(x, y, w, h);
}

void label(QPainter& p, int x, int y, const QString& text)
{
    p.drawText(QPoint(x, y + 22), text);
}

// One address block: the rows that the fields of one party fill.
void drawParty(QPainter& p, int x0, const QString& side, const QString& placeLabel)
{
    QFont bold = p.font();
    bold.setBold(true);
    const QFont normal = p.font();
    p.setFont(bold);
    // Vertical caption down the left edge of the block.
    for (int i = 0; i < side.size(); ++i)
        p.drawText(QRect(x0, 80 + i * 34, 28, 30), Qt::AlignCenter, side.mid(i, 1));
    p.setFont(normal);
    p.drawLine(x0 + 28, 46, x0 + 28, 286);
    for (int y : {90, 128, 166, 204, 242})
        p.drawLine(x0 + 28, y, x0 + 394, y);
    p.drawLine(x0 + 194, 52, x0 + 194, 90);
    p.drawLine(x0 + 194, 166, x0 + 194, 242);
    label(p, x0 + 34, 60, QStringLiteral("姓名"));
    label(p, x0 + 200, 60, QStringLiteral("单位"));
    label(p, x0 + 34, 98, QStringLiteral("地址"));
    label(p, x0 + 40, 136, QStringLiteral("省"));
    label(p, x0 + 140, 136, QStringLiteral("市"));
    label(p, x0 + 250, 136, QStringLiteral("区县"));
    label(p, x0 + 34, 174, QStringLiteral("手机"));
    label(p, x0 + 200, 174, QStringLiteral("电话"));
    label(p, x0 + 34, 212, QStringLiteral("邮编"));
    label(p, x0 + 200, 212, placeLabel);
    label(p, x0 + 34, 252, side + QStringLiteral("签名："));
}

} // namespace

namespace NewDatabase
{

QString templateName()
{
    return QStringLiteral("通用快递单");
}

QString pictureName()
{
    return QStringLiteral("generic.bmp");
}

QImage deliveredPicture()
{
    QImage img(800, 442, QImage::Format_RGB888);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QPen(QColor(170, 40, 40), 1));

    drawBox(p, 6, 6, 788, 430);
    p.drawLine(6, 46, 794, 46);
    p.drawLine(400, 46, 400, 436);
    p.drawLine(6, 286, 794, 286);

    QFont title = font;
    title.setPixelSize(22);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(6, 6, 420, 40), Qt::AlignCenter, QStringLiteral("快 递 运 单"));
    p.setFont(font);
    p.drawLine(560, 6, 560, 46);
    p.drawText(QRect(566, 6, 80, 40), Qt::AlignVCenter, QStringLiteral("运单号："));

    drawParty(p, 6, QStringLiteral("寄件人"), QStringLiteral("始发地"));
    drawParty(p, 400, QStringLiteral("收件人"), QStringLiteral("目的地"));

    // Goods and notes.
    p.drawLine(6, 324, 400, 324);
    label(p, 40, 300, QStringLiteral("内件品名"));
    label(p, 40, 338, QStringLiteral("数量/重量"));
    p.drawLine(6, 362, 400, 362);
    label(p, 40, 376, QStringLiteral("保价金额"));
    p.drawLine(6, 400, 400, 400);
    label(p, 40, 406, QStringLiteral("寄件日期：      年    月    日"));
    for (int y : {324, 362, 400})
        p.drawLine(400, y, 794, y);
    p.drawLine(600, 286, 600, 362);
    label(p, 406, 300, QStringLiteral("备注1"));
    label(p, 606, 300, QStringLiteral("备注2"));
    label(p, 406, 338, QStringLiteral("备注3"));
    label(p, 606, 338, QStringLiteral("备注4"));
    label(p, 406, 376, QStringLiteral("备注5"));
    label(p, 406, 406, QStringLiteral("收件日期：      年    月    日"));
    p.end();
    return img;
}

void createDatabase(const QString& dbPath)
{
    {
        QFile f(dbPath);
        if (f.exists())
            throw DataError(QStringLiteral("%1 already exists").arg(dbPath));
        if (!f.open(QIODevice::WriteOnly))
            throw DataError(f.errorString());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    const QString conn = QStringLiteral("waylark_new_database");
    QString error;
    DataError::Kind kind = DataError::Kind::Failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(dbPath);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            try {
                Schema::create(db);
                Transaction tx(db);
                QSqlQuery q(db);
                QStringList cols = {
                    TemplateStore::Column::Name,        TemplateStore::Column::PictureName,
                    TemplateStore::Column::PictureLeft, TemplateStore::Column::PictureTop,
                    TemplateStore::Column::PaperWidth,  TemplateStore::Column::PaperHeight,
                    TemplateStore::Column::OffsetX,     TemplateStore::Column::OffsetY};
                // The picture is 800 × 442 pixels at 96 per inch: 211.7 × 116.9 mm.
                QVariantList vals = {
                    templateName(), pictureName(), kPictureLeft, kPictureTop, 2117, 1169, 0, 0};
                for (const FieldInfo& f : FieldCatalogue::all()) {
                    const Place* pl = placeOf(f.key);
                    cols << f.leftColumn() << f.topColumn() << f.widthColumn() << f.visColumn();
                    // The waybill number and the carrier wait hidden for a label.
                    vals << pl->x + kPictureLeft << pl->y + kPictureTop << pl->width
                         << (f.number <= Schema::kFirstFieldCount ? 1 : 0);
                }
                QStringList marks;
                for (int i = 0; i < cols.size(); ++i)
                    marks << QStringLiteral("?");
                q.prepare(QStringLiteral("INSERT INTO Exp_Model (%1) VALUES (%2)")
                              .arg(cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
                for (int i = 0; i < vals.size(); ++i)
                    q.bindValue(i, vals.at(i));
                if (!q.exec())
                    throw DataError(q.lastError().text());
                tx.commit();
            } catch (const DataError& e) {
                error = e.message();
                kind = e.kind();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    if (!error.isEmpty()) {
        QFile::remove(dbPath);
        throw DataError(error, kind);
    }
}

bool prepareAppDir(const QString& appDir, QString* error)
{
    QDir dir(appDir);
    if (!dir.mkpath(QStringLiteral("bkbmp"))) {
        *error = QStringLiteral("cannot create %1").arg(dir.filePath(QStringLiteral("bkbmp")));
        return false;
    }
    const QString picture = dir.filePath(QStringLiteral("bkbmp/") + pictureName());
    if (!QFile::exists(picture) && !deliveredPicture().save(picture, "BMP")) {
        *error = QStringLiteral("cannot write %1").arg(picture);
        return false;
    }
    const QString dbPath = dir.filePath(QString::fromLatin1("Waylark_main.db"));
    if (!QFile::exists(dbPath)) {
        // Made under another name and renamed when whole and sealed: a start
        // killed halfway leaves no half-made database under the real name.
        const QString making = dbPath + QLatin1String(".new");
        QFile::remove(making); // left by such a start
        try {
            createDatabase(making);
        } catch (const DataError& e) {
            *error = e.message();
            return false;
        }
        sealHeader(making);
        // Never over a database that another start made meanwhile.
        if (!QFile::rename(making, dbPath)) {
            QFile::remove(making);
            if (!QFile::exists(dbPath)) {
                *error = QStringLiteral("cannot create %1").arg(dbPath);
                return false;
            }
        }
    }
    const QString dirWithSlash =
        appDir.endsWith(QLatin1Char('/')) ? appDir : appDir + QLatin1Char('/');
    const QString ini = ConfigIni::fileName(dirWithSlash);
    if (!QFile::exists(ini)) {
        QString reason;
        if (!ConfigIni::write(dirWithSlash, ConfigIni::DefaultModel, templateName(), &reason)) {
            *error = QStringLiteral("cannot write %1: %2").arg(ini, reason);
            return false;
        }
    }
    return true;
}

bool prepareDataFolder(const DataLocation& where)
{
    if (!where.userDataFolder)
        return true;
    QString error;
    if (prepareAppDir(where.appDir, &error))
        return true;
    prompt().message(withReason(QStringLiteral("无法建立数据文件夹：") + where.appDir, error));
    return false;
}

} // namespace NewDatabase
