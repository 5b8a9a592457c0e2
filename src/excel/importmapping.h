#pragma once

#include <QString>
#include <QStringList>

// Which sheet title fills each import caption, before the user touches the
// mapping: the mapping last used with the same title row, or else the
// titles that equal a caption or one of its usual names in shop exports.
// Shared by the mapping dialog and `waylark import`.

// One title per caption of importCaptions(), empty for none. A title is
// taken only when TITLES holds it.
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
