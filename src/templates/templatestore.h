#pragma once

#include "data/schema.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class Dataset;
class QSqlDatabase;

// Templates as rows of Exp_Model plus one picture in bkbmp/: finding rows
// by id and name, names, pictures and what is kept by a template's name.
// Rows are written through TemplateRows.
namespace TemplateStore
{

// The template columns of Exp_Model (Model_Name, Bk_Bmp_Name …): windows,
// print and commands name them through here.
namespace Column = Schema::ModelColumn;

// Paper sizes are tenths of a millimetre and reach 16-bit printer fields.
constexpr int kMinPaper = 1;
constexpr int kMaxPaper = 32767;
// The design tab's paper boxes take millimetres.
constexpr int kMaxPaperMm = kMaxPaper / 10;

// Place, width and visibility of one field as the design surface shows it.
struct FieldPlace {
    int left = 0;
    int top = 0;
    int width = 0;
    bool visible = false;
    bool operator==(const FieldPlace& o) const
    {
        return left == o.left && top == o.top && width == o.width && visible == o.visible;
    }
};

// Scans from the first row for the first Model_Name equal to name (exact,
// case-sensitive). Without a match the cursor rests on the last row.
bool findByName(Dataset* tbModel, const QString& name);

// The row of that rowid when it still bears that name, else the first row
// of that name (names may repeat); -1 when neither. The cursor stays.
qint64 resolveRow(Dataset* tbModel, qint64 rowid, const QString& name);

// Moves to resolveRow's row; without one, rests as findByName leaves it.
bool findRow(Dataset* tbModel, qint64 rowid, const QString& name);

// The first row whose name equals name once blanks and control characters
// are taken off both ends of each, other than exceptRow; -1 when none.
qint64 rowWithSameName(Dataset* tbModel, const QString& name, qint64 exceptRow = -1);

// Whether any row other than exceptRow keeps its picture in that file.
bool pictureInUse(Dataset* tbModel, const QString& pictureName, qint64 exceptRow = -1);

// A Model_Name or Bk_Bmp_Name of the row with that rowid ("" when none).
QString columnOfRow(Dataset* tbModel, qint64 rowid, const QString& column);

// The rowid of every row, first to last, in step with modelNames.
QVector<qint64> modelRows(Dataset* tbModel);

// Every Model_Name, first row to last, without moving the cursor.
QStringList modelNames(Dataset* tbModel);

// The printer calibrations, fitted fields, carrier and fonts are kept per
// template name: they follow a rename and go with the last row of their name. Call them
// only when no row bears FROM (or NAME) any more. Throw DataError.
void moveNamedSettings(const QSqlDatabase& db, const QString& from, const QString& to);
void dropNamedSettings(const QSqlDatabase& db, const QString& name);

// A name with blanks and control characters taken off both ends.
QString trimmedName(const QString& name);

// A template name that is empty once blanks and control characters are
// taken off both ends.
bool isBlankName(const QString& name);

// The whole number in a paper box's text (its blanks dropped); nothing when
// no digit was typed.
std::optional<int> paperBoxNumber(const QString& boxText);

// --- pictures --------------------------------------------------------------

// The directory of template pictures: appDir ends with a separator.
QString pictureDir(const QString& appDir);

// A template's picture by its name: on a server the one kept in
// Model_Picture, else the file in appDir's bkbmp/. Throws DataError as
// loadPicture does when there is none or it is not a picture.
QImage templatePicture(const QSqlDatabase& db, const QString& appDir, const QString& name);

// Reads a picture by its content (BMP, PNG, JPEG …); throws DataError with
// the reason when the file is missing or not a picture.
QImage loadPicture(const QString& path);

// The name a chosen file is kept under in bkbmp/: its file name, with the
// suffix .bmp unless it already is a .bmp in any letter case.
QString storedPictureName(const QString& chosenPath);

// Whether the file at path holds exactly this picture.
bool samePicture(const QString& path, const QImage& picture);

// The name to store picture under: wanted itself when no picture of that
// name exists or it already is this picture; otherwise the first free
// "<base>-2.<suffix>", "<base>-3.<suffix>" … A template's picture is never
// replaced by another. The names taken are those of dir's files, on a
// server those of Model_Picture (throws DataError there).
QString freePictureName(const QString& dir, const QString& wanted, const QImage& picture);
QString freePictureName(const QSqlDatabase& db, const QString& dir, const QString& wanted,
                        const QImage& picture);

// Writes picture as a BMP file (whole or not at all). False with a reason.
bool writePicture(const QString& path, const QImage& picture, QString* error);

// On a server, the picture kept in Model_Picture under name, for every
// station: added when the name is free, refused when another picture holds
// it. Nothing on a file (its pictures are bkbmp/'s). Throws DataError.
void storePicture(const QSqlDatabase& db, const QString& name, const QImage& picture);
// On a server, removes the picture of that name from Model_Picture once no
// template row names it. Nothing on a file. Throws DataError.
void dropUnusedPicture(const QSqlDatabase& db, const QString& name);

} // namespace TemplateStore
