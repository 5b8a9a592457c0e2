#pragma once

#include <QImage>
#include <QString>

struct DataLocation;

// What a new installation starts with: the database file (schema, region
// rows, an empty sender table and one delivered template), the template's
// background picture in bkbmp/ and config.ini naming that template.
namespace NewDatabase
{

QString templateName(); // the delivered template's name
QString pictureName();  // its file name in bkbmp/

// The delivered background: a generic blank express waybill, 800 × 442.
QImage deliveredPicture();

// Creates dbPath (mode 0600) and fills it; throws DataError. The header is
// left standard; seal it when the file is handed over.
void createDatabase(const QString& dbPath);

// Makes appDir ready to run: bkbmp/ with the picture, config.ini, and a new
// sealed database when none is there. Existing files are never replaced.
// Returns false with a reason on failure.
bool prepareAppDir(const QString& appDir, QString* error);

// The user's data folder is made ready at the first start, as prepareAppDir
// does; the program's own folder is left as the build made it. Shows its
// own message through the prompt seam; false means the program ends.
bool prepareDataFolder(const DataLocation& where);

} // namespace NewDatabase
