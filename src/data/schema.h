#pragma once

#include <QSqlDatabase>
#include <QStringList>

// The tables of Waylark_main.db, or of a PostgreSQL database several
// stations share. The schema version lives in SQLite's user_version so that
// a later program can migrate an older file; a server keeps it in the one
// row of Waylark_Schema, beside Model_Picture (per picture Name, its Data):
// the template pictures every station prints. On a server Exp_Att_Info
// also has Claimed_By and Claimed_Until, a station's claim on a row it is
// printing (RowClaims); the datasets leave them out. Print_Calibration
// there has Station too (the station's name, see RowClaims::stationName),
// in its key: each station keeps its own. Exp_Att_Info's Row_Version there
// counts the changes of a row's values (Dataset::rowVersion). Order_Number holds
// each order number of Exp_Att_Info's Order_No once (Tid, and Att_ID the
// row's ID), so that no order is added twice.
namespace Schema
{

constexpr int kVersion = 5;
// A server's version counts on from the file's: 6 is the file's 5 with what
// the stations of one database need of each other (each station's own
// calibrations, recipients' row versions, the notifications of changes).
constexpr int kServerVersion = 6;

// The columns of Exp_Model that hold a template as a whole, spelled here
// only; code above the data layer reaches them as TemplateStore::Column.
namespace ModelColumn
{
inline const QString Name = QStringLiteral("Model_Name");
inline const QString PictureName = QStringLiteral("Bk_Bmp_Name");
inline const QString PictureLeft = QStringLiteral("Bk_Bmp_Left");
inline const QString PictureTop = QStringLiteral("Bk_Bmp_Top");
inline const QString PaperWidth = QStringLiteral("Page_Width");
inline const QString PaperHeight = QStringLiteral("Page_Height");
inline const QString OffsetX = QStringLiteral("Page_LeftX");
inline const QString OffsetY = QStringLiteral("Page_TopY");
} // namespace ModelColumn

// The 28 field keys in catalogue order; Exp_Model has four columns for each.
// The first 26 came with the first release, the waybill number and the
// carrier with version 4.
const QStringList& fieldKeys();
constexpr int kFirstFieldCount = 26;
// The four columns of one field: its place, width and visibility.
QString fieldLeftColumn(const QString& key);
QString fieldTopColumn(const QString& key);
QString fieldWidthColumn(const QString& key);
QString fieldVisibleColumn(const QString& key);
// The columns of Exp_Model at a version, in order (120 now, 112 before 4).
QStringList modelColumns(int version = kVersion);
QStringList recipientColumns(); // Exp_Att_Info, in order (ID first)
QStringList senderColumns();    // Exp_Send_info, in order (ID first)
QStringList shopColumns();      // Shop_Info

// The print marks added to Exp_Att_Info: last printed time (text,
// "yyyy-MM-dd HH:mm:ss", null when never) and how often (null reads as 0).
const QString& printedAtColumn();  // "Printed_At"
const QString& printCountColumn(); // "Print_Count"
// The shop's order numbers a recipient row came from, joined by ",".
const QString& orderNoColumn(); // "Order_No"

// Whether db is a PostgreSQL server rather than a file.
bool isServer(const QSqlDatabase& db);
// The tables of db (on a server, those of its current schema), by name.
QStringList tablesOf(const QSqlDatabase& db);
// A server folds names to lower case: the column name as the program spells
// it, for one that came back folded (others are returned as they are).
QString spelledName(const QString& name);
// The columns a server's table has besides the file's, folded.
bool isServerOnlyColumn(const QString& folded);

// Creates every table and the region rows in one transaction, at the given
// schema version (an older one only to test upgrades; -1: kVersion on a
// file, kServerVersion on a server); throws DataError.
void create(QSqlDatabase db, int version = -1);
// Brings an older file up to kVersion (a server up to kServerVersion), each step in one transaction
// with its user_version; throws DataError, having written nothing, for a file of a newer program, a
// negative version, one that already holds what a later version adds, or one that is not ours.
//
// Version 2 adds the print marks of Exp_Att_Info, the tables
// Print_Calibration (per Model_Name and Printer: Dx_Mm, Dy_Mm, Sx_Pct,
// Sy_Pct), Model_Field_Fit (per Model_Name and Field_Key: Fit, Height) and
// Print_Log (one row per completed job).
//
// Version 3 adds to Print_Log Names (every recipient's name in printing
// order, one per line; null in older lines) and Reprint (1 for a job that
// printed logged rows again), and the table Print_Pending: a print job
// between being written down and being settled (the columns of Print_Log
// but Printed_At, which is Started_At; for a PDF file Job_Path, its
// absolute path, and Job_File, the "device:inode" of the job's file; for a
// CUPS queue Cups_Job, the queue's job id once there is one), and
// Model_Carrier (per Model_Name: Carrier_Code, the carrier chosen for the
// template, null while its name picks the rule; Last_Waybill, the last
// number of the last series written with it, without prefix and suffix).
//
// Version 4 adds the four Exp_Model columns of A_WayBillNo and A_ExpName
// (hidden in every template), to Model_Field_Fit Symbol (null or "text",
// "code128", "qr"), Module_Mm and Bar_Height_Mm (null for the defaults),
// and Model_Label (per Model_Name: Print_Picture, 1 when the template's
// picture prints with its fields).
// Version 5 adds Order_No to Exp_Att_Info and the table Order_Ship (per
// order number Tid: State "sending", "sent" or "failed", Waybill_No and
// Company_Code as sent, Changed_At, and the platform's Reason of a failure);
// an order without a row has not been sent.
//
// Server version 6 adds Station to the key of Print_Calibration (a row
// without one is the upgrading station's), Row_Version to Exp_Att_Info
// (counted on by a trigger when a recipient's values change) and a trigger
// on each shared table that notifies the channel "waylark" with the table's
// name, once per statement.
void upgrade(QSqlDatabase db);

} // namespace Schema
