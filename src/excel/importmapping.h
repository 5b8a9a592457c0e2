#pragma once

#include <QString>
#include <QStringList>

// Which sheet title fills each import caption, before the user touches the
// mapping: the mapping last used with the same title row, or else the
// titles that match a caption or one of its usual names in shop exports.
// Shared by the mapping dialog and `waylark import`.

// One title per caption of importCaptions(), empty for none. A title is
// taken only when TITLES holds it, and for one caption only. Titles equal
// to a caption or a usual name come first; then titles that match one
// loosely: blanks, punctuation, brackets and "的" ignored, and a leading
// "收货人", "收件人" or "买家" too ("收货人姓名", "联系手机", "买家留言").
QStringList automaticMapping(const QStringList& titles);

// The mapping remembered for exactly this title row (same texts, same
// order), filtered to titles that are there; empty when there is none.
QStringList rememberedMapping(const QString& appDir, const QStringList& titles);
// Remembers MAPPING (one title per caption) for this title row in
// config.ini; false when the file cannot be written.
bool rememberMapping(const QString& appDir, const QStringList& titles, const QStringList& mapping);

// The remembered mapping when there is one, else the automatic one.
QStringList proposedMapping(const QString& appDir, const QStringList& titles);

// "CAPTION=TITLE" for every mapped caption, in caption order: the form
// `waylark import --map` takes.
QStringList mappingLines(const QStringList& mapping);
