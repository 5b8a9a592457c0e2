#pragma once

#include <QList>
#include <QString>

// Former names of merged or renamed places and where they are today.
struct RegionAlias {
    QString former;   // the old full name
    QString province; // today's names, as in the region tables
    QString city;
    QString district; // empty for a city's former name
};

const QList<RegionAlias>& regionAliases();
