#include "address/addressparser.h"

#include "address/regionaliases.h"
#include "base/dataerror.h"
#include "data/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>

namespace
{

enum Level { Province = 0, City = 1, Area = 2 };

struct Entry {
    quint8 level;
    bool isShort;
    int index; // into that level's regions
    int alias; // index into regionAliases(), or -1
};

struct Region {
    QString name;
    int parent; // province of a city, city of an area; -1 for a province
};

// Region names by character; one hash lookup per step.
class Trie
{
public:
    Trie() { m_entries.emplace_back(); }
    void add(QStringView key, const Entry& e)
    {
        int node = 0;
        for (QChar c : key) {
            const quint64 k = (quint64(node) << 16) | c.unicode();
            auto it = m_edges.constFind(k);
            if (it == m_edges.constEnd()) {
                m_entries.emplace_back();
                const int next = int(m_entries.size()) - 1;
                m_edges.insert(k, next);
                node = next;
            } else {
                node = it.value();
            }
        }
        for (const Entry& x : m_entries[size_t(node)])
            if (x.level == e.level && x.index == e.index && x.alias == e.alias)
                return;
        m_entries[size_t(node)].push_back(e);
    }
    // Calls f(end, entries) for every key starting at pos, shortest first.
    template <typename F> void walk(QStringView s, int pos, F f) const
    {
        int node = 0;
        for (int i = pos; i < s.size(); ++i) {
            auto it = m_edges.constFind((quint64(node) << 16) | s[i].unicode());
            if (it == m_edges.constEnd())
                return;
            node = it.value();
            if (!m_entries[size_t(node)].empty())
                f(i + 1, m_entries[size_t(node)]);
        }
    }

private:
    QHash<quint64, int> m_edges;
    std::vector<std::vector<Entry>> m_entries;
};

bool isCjk(QChar c)
{
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
}

bool isSeparator(QChar c)
{
    switch (c.unicode()) {
    case ' ':
    case '\n':
    case '\r':
    case '\t':
    case ',':
    case ';':
    case '/':
    case '\\':
    case '|':
    case ':':
    case 0x3001: /* 、 */
    case 0x3002: /* 。 */
    case 0x0001:
    case 0x0002:
    case 0x00A0:
    case 0x3000:
        return true;
    default:
        return false;
    }
}

bool isDash(QChar c)
{
    return c == QLatin1Char('-') || c == QLatin1Char('_') || c.unicode() == 0x2014 ||
           c.unicode() == 0x2013 || c.unicode() == 0x2015 || c.unicode() == 0xFF0D;
}

// A short form followed by one of these is a road or a building, not a place.
bool endsShortForm(QStringView rest)
{
    static const QStringList words = {
        QStringLiteral("路"),   QStringLiteral("街"),   QStringLiteral("道"),
        QStringLiteral("巷"),   QStringLiteral("弄"),   QStringLiteral("桥"),
        QStringLiteral("站"),   QStringLiteral("村"),   QStringLiteral("大道"),
        QStringLiteral("大街"), QStringLiteral("大厦"), QStringLiteral("大学"),
        QStringLiteral("大桥"), QStringLiteral("广场"), QStringLiteral("饭店"),
        QStringLiteral("中路"), QStringLiteral("北路"), QStringLiteral("南路"),
        QStringLiteral("东路"), QStringLiteral("西路"), QStringLiteral("公园")};
    for (const QString& w : words)
        if (rest.startsWith(w))
            return true;
    return false;
}

// Markers that end a place or a street; a segment ending so is no name.
bool isAddressMarker(QChar c)
{
    static const QString m =
        QStringLiteral("路街道巷号楼室栋村镇乡区县市省州弄院园苑厦里庄旗盟幢单层座城");
    return m.contains(c);
}

QString stripEthnic(const QString& stem)
{
    static const QStringList ethnic = {
        QStringLiteral("蒙古"),   QStringLiteral("哈萨克"), QStringLiteral("柯尔克孜"),
        QStringLiteral("朝鲜族"), QStringLiteral("土家族"), QStringLiteral("苗族"),
        QStringLiteral("藏族"),   QStringLiteral("羌族"),   QStringLiteral("彝族"),
        QStringLiteral("布依族"), QStringLiteral("侗族"),   QStringLiteral("哈尼族"),
        QStringLiteral("壮族"),   QStringLiteral("傣族"),   QStringLiteral("白族"),
        QStringLiteral("景颇族"), QStringLiteral("傈僳族"), QStringLiteral("回族"),
        QStringLiteral("维吾尔"), QStringLiteral("满族"),   QStringLiteral("瑶族"),
        QStringLiteral("畲族"),   QStringLiteral("黎族"),   QStringLiteral("各族")};
    int cut = int(stem.size());
    for (const QString& e : ethnic) {
        const int at = int(stem.indexOf(e, 2));
        if (at >= 2 && at < cut)
            cut = at;
    }
    return stem.left(cut);
}

// The forms people write without the administrative ending.
QStringList shortForms(const QString& name, Level level)
{
    QStringList out;
    auto add = [&](const QString& s) {
        if (s.size() >= 2 && s != name && !out.contains(s))
            out << s;
    };
    if (name.endsWith(QStringLiteral("自治区")) || name.endsWith(QStringLiteral("自治州")) ||
        name.endsWith(QStringLiteral("自治县")) || name.endsWith(QStringLiteral("自治旗"))) {
        const QString stem = stripEthnic(name.chopped(3));
        add(stem);
        if (name.endsWith(QStringLiteral("自治州")))
            add(stem + QStringLiteral("州")); // 甘孜州, 恩施州
        return out;
    }
    static const QStringList endings[3] = {
        {QStringLiteral("省"), QStringLiteral("市")},
        {QStringLiteral("地区"), QStringLiteral("市"), QStringLiteral("盟")},
        {QStringLiteral("新区"), QStringLiteral("区"), QStringLiteral("县"), QStringLiteral("市"),
         QStringLiteral("旗")}};
    for (const QString& e : endings[level])
        if (name.endsWith(e)) {
            add(name.chopped(e.size()));
            break;
        }
    return out;
}

struct Label {
    QString text;
    char kind; // 'n' name, 'p' phone, 'r' region, 'a' address, 'z' postcode
};

const std::vector<Label>& labels()
{
    static const std::vector<Label> list = [] {
        std::vector<Label> l = {
            {QStringLiteral("收货人姓名"), 'n'}, {QStringLiteral("收件人姓名"), 'n'},
            {QStringLiteral("收货人"), 'n'},     {QStringLiteral("收件人"), 'n'},
            {QStringLiteral("联系人"), 'n'},     {QStringLiteral("姓名"), 'n'},
            {QStringLiteral("名字"), 'n'},       {QStringLiteral("手机号码"), 'p'},
            {QStringLiteral("手机号"), 'p'},     {QStringLiteral("手机"), 'p'},
            {QStringLiteral("联系电话"), 'p'},   {QStringLiteral("电话号码"), 'p'},
            {QStringLiteral("联系方式"), 'p'},   {QStringLiteral("移动电话"), 'p'},
            {QStringLiteral("电话"), 'p'},       {QStringLiteral("固话"), 'p'},
            {QStringLiteral("座机"), 'p'},       {QStringLiteral("所在地区"), 'r'},
            {QStringLiteral("所在地"), 'r'},     {QStringLiteral("省市区"), 'r'},
            {QStringLiteral("地区"), 'r'},       {QStringLiteral("详细地址"), 'a'},
            {QStringLiteral("收货地址"), 'a'},   {QStringLiteral("收件地址"), 'a'},
            {QStringLiteral("街道地址"), 'a'},   {QStringLiteral("地址"), 'a'},
            {QStringLiteral("邮政编码"), 'z'},   {QStringLiteral("邮编"), 'z'}};
        std::stable_sort(l.begin(), l.end(), [](const Label& a, const Label& b) {
            return a.text.size() > b.text.size();
        });
        return l;
    }();
    return list;
}

const QChar kNameMark(0x0001);
const QChar kPostcodeMark(0x0002);

struct Triple {
    int province = -1;
    int city = -1;
    int area = -1;
    bool operator==(const Triple& o) const
    {
        return province == o.province && city == o.city && area == o.area;
    }
};

struct Reading {
    int start = 0;
    int end = 0;
    int levels = 0;
    int shorts = 0;
    int alias = -1;
    std::vector<Triple> triples;
};

} // namespace

struct AddressParser::Impl {
    std::vector<Region> regions[3];
    std::vector<int> onlyCity;              // per province: its one city, or -1
    std::vector<std::vector<int>> children; // per city: its areas
    Trie trie;

    struct Option {
        int end;
        bool isShort;
        int alias;
        std::vector<int> indices;
    };

    int provinceOf(Level level, int index) const
    {
        if (level == Province)
            return index;
        if (level == City)
            return regions[City][size_t(index)].parent;
        return regions[City][size_t(regions[Area][size_t(index)].parent)].parent;
    }

    // The names of LEVEL starting at pos that fit the given province or
    // cities, longest first; short forms only with context or for the two
    // upper levels.
    std::vector<Option> options(QStringView s, int pos, Level level, int province,
                                const std::vector<int>* cities, bool allowShortArea) const
    {
        std::vector<Option> out;
        trie.walk(s, pos, [&](int end, const std::vector<Entry>& entries) {
            Option o{end, false, -1, {}};
            bool anyFull = false;
            for (const Entry& e : entries)
                if (e.level == level && !e.isShort)
                    anyFull = true;
            for (const Entry& e : entries) {
                if (e.level != level)
                    continue;
                if (anyFull && e.isShort)
                    continue;
                if (e.isShort) {
                    if (level == Area && !allowShortArea)
                        continue;
                    if (endsShortForm(s.mid(end)) && !fullNameAt(s, end))
                        continue;
                }
                if (province >= 0 && provinceOf(level, e.index) != province)
                    continue;
                if (cities && level == Area &&
                    std::find(cities->begin(), cities->end(),
                              regions[Area][size_t(e.index)].parent) == cities->end())
                    continue;
                if (std::find(o.indices.begin(), o.indices.end(), e.index) != o.indices.end())
                    continue;
                o.indices.push_back(e.index);
                o.isShort = e.isShort;
                if (e.alias >= 0)
                    o.alias = e.alias;
            }
            if (!o.indices.empty())
                out.push_back(std::move(o));
        });
        std::reverse(out.begin(), out.end());
        return out;
    }

    // "路桥区" after "台州" is a district, not a road.
    bool fullNameAt(QStringView s, int pos) const
    {
        bool found = false;
        trie.walk(s, pos, [&](int, const std::vector<Entry>& entries) {
            for (const Entry& e : entries)
                found = found || !e.isShort;
        });
        return found;
    }

    // A city without districts is listed with one area of its own name
    // (东莞市, 儋州市): naming the city names it.
    int sameNamedArea(int city) const
    {
        const std::vector<int>& areas = children[size_t(city)];
        return areas.size() == 1 &&
                       regions[Area][size_t(areas.front())].name == regions[City][size_t(city)].name
                   ? areas.front()
                   : -1;
    }

    static int skipBlanks(QStringView s, int pos)
    {
        while (pos < s.size() && (s[pos] == QLatin1Char(' ') || isDash(s[pos])))
            ++pos;
        return pos;
    }

    // The reading that explains more of the text wins: a district named in
    // full ("河北邢台经济开发区") beats a province and city in its first letters.
    static bool better(const Reading& a, const Reading& b)
    {
        if (a.end - a.start != b.end - b.start)
            return a.end - a.start > b.end - b.start;
        if (a.levels != b.levels)
            return a.levels > b.levels;
        if (a.triples.size() != b.triples.size())
            return a.triples.size() < b.triples.size();
        return a.shorts < b.shorts;
    }

    // The best chain province? city? district? starting at pos.
    Reading readAt(QStringView s, int pos) const
    {
        Reading best;
        std::vector<Option> provs = options(s, pos, Province, -1, nullptr, false);
        provs.push_back(Option{-1, false, -1, {}});
        for (const Option& po : provs) {
            const bool hasProv = po.end >= 0;
            if (hasProv && po.indices.size() != 1)
                continue;
            const int prov = hasProv ? po.indices.front() : -1;
            const int q = hasProv ? skipBlanks(s, po.end) : pos;
            std::vector<Option> cits = options(s, q, City, prov, nullptr, false);
            cits.push_back(Option{-1, false, -1, {}});
            for (const Option& co : cits) {
                const bool hasCity = co.end >= 0;
                std::vector<int> cities;
                if (hasCity)
                    cities = co.indices;
                else if (hasProv && onlyCity[size_t(prov)] >= 0)
                    cities.push_back(onlyCity[size_t(prov)]);
                const int r = hasCity ? skipBlanks(s, co.end) : q;
                std::vector<Option> areas = options(
                    s, r, Area, prov, cities.empty() ? nullptr : &cities, hasProv || hasCity);
                areas.push_back(Option{-1, false, -1, {}});
                for (const Option& ao : areas) {
                    const bool hasArea = ao.end >= 0;
                    if (!hasProv && !hasCity && !hasArea)
                        continue;
                    Reading rd;
                    rd.start = pos;
                    rd.end = hasArea ? ao.end : hasCity ? co.end : po.end;
                    rd.levels = int(hasProv) + int(hasCity) + int(hasArea);
                    rd.shorts = int(hasProv && po.isShort) + int(hasCity && co.isShort) +
                                int(hasArea && ao.isShort);
                    rd.alias = hasArea && ao.alias >= 0   ? ao.alias
                               : hasCity && co.alias >= 0 ? co.alias
                                                          : -1;
                    if (hasArea) {
                        for (int a : ao.indices) {
                            const int c = regions[Area][size_t(a)].parent;
                            rd.triples.push_back({regions[City][size_t(c)].parent, c, a});
                        }
                    } else if (!cities.empty()) {
                        for (int c : cities)
                            rd.triples.push_back(
                                {regions[City][size_t(c)].parent, c, sameNamedArea(c)});
                    } else {
                        rd.triples.push_back({prov, -1, -1});
                    }
                    if (best.levels == 0 || better(rd, best))
                        best = std::move(rd);
                }
            }
        }
        return best;
    }

    // A province or city named at pos that none of the triples has.
    // Short forms count only where asked: a street after the district is
    // often named after another place ("北京中路", "中山北路").
    bool conflictsAt(QStringView s, int pos, const std::vector<Triple>& triples,
                     bool shortForms) const
    {
        for (Level level : {Province, City}) {
            for (const Option& o : options(s, pos, level, -1, nullptr, false)) {
                if (o.isShort && !shortForms)
                    continue;
                bool fits = false;
                for (int i : o.indices)
                    for (const Triple& t : triples)
                        if ((level == Province ? t.province : t.city) == i ||
                            (level == City && t.city < 0 && provinceOf(City, i) == t.province))
                            fits = true;
                if (!fits)
                    return true;
            }
        }
        return false;
    }

    // A segment that starts with a place: a full name, a whole short form,
    // or a short form followed by another place ("杭州西湖"); "东方伟" is a
    // name although 东方 is a city.
    bool isRegionName(QStringView seg) const
    {
        bool region = false;
        trie.walk(seg, 0, [&](int end, const std::vector<Entry>& entries) {
            bool full = false;
            for (const Entry& e : entries)
                full = full || !e.isShort;
            if (full || end == seg.size())
                region = true;
            else
                trie.walk(seg, end, [&](int, const std::vector<Entry>&) { region = true; });
        });
        return region;
    }

    bool isNameLike(QStringView seg) const
    {
        if (seg.size() < 2 || seg.size() > 5)
            return false;
        for (QChar c : seg)
            if (!isCjk(c) && c.unicode() != 0x00B7)
                return false;
        static const QStringList polite = {QStringLiteral("先生"), QStringLiteral("女士"),
                                           QStringLiteral("小姐")};
        bool politeForm = false;
        for (const QString& p : polite)
            if (seg.endsWith(p) && seg.size() <= 4)
                politeForm = true;
        if (!politeForm && seg.size() > 4)
            return false;
        if (!politeForm && isAddressMarker(seg.back()))
            return false;
        return !isRegionName(seg);
    }

    QString tripleName(Level level, const Triple& t) const
    {
        const int i = level == Province ? t.province : level == City ? t.city : t.area;
        return i < 0 ? QString() : regions[level][size_t(i)].name;
    }
};

namespace
{

// Marks labels: a name or postcode label leaves its mark, every label a
// line break.
QString replaceLabels(const QString& in)
{
    QString out;
    out.reserve(in.size() + 8);
    bool atSegmentStart = true;
    for (int i = 0; i < in.size();) {
        bool matched = false;
        if (isCjk(in[i])) {
            for (const Label& l : labels()) {
                if (!QStringView(in).mid(i).startsWith(l.text))
                    continue;
                int j = i + int(l.text.size());
                while (j < in.size() && in[j] == QLatin1Char(' '))
                    ++j;
                const bool colon = j < in.size() && in[j] == QLatin1Char(':');
                if (!colon && !atSegmentStart)
                    continue;
                if (!colon && l.kind != 'n' && l.kind != 'z' && j < in.size() && isCjk(in[j]) &&
                    l.kind != 'a')
                    continue;
                out += QLatin1Char('\n');
                if (l.kind == 'n')
                    out += kNameMark;
                else if (l.kind == 'z')
                    out += kPostcodeMark;
                i = colon ? j + 1 : j;
                matched = true;
                atSegmentStart = true;
                break;
            }
        }
        if (matched)
            continue;
        atSegmentStart = isSeparator(in[i]);
        out += in[i];
        ++i;
    }
    return out;
}

struct Group {
    int start;
    int end;
    QChar joinBefore; // the separator before it within the run
};

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

} // namespace

QString ParsedAddress::verdictText() const
{
    switch (verdict) {
    case Verdict::Sure:
        return QStringLiteral("确定");
    case Verdict::Ambiguous:
        return QStringLiteral("待确认");
    default:
        return QStringLiteral("未识别");
    }
}

AddressParser::AddressParser(const QList<Row>& provinces, const QList<Row>& cities,
                             const QList<Row>& areas)
    : d(std::make_unique<Impl>())
{
    QHash<QString, int> provByCode, cityByCode;
    for (const Row& r : provinces) {
        provByCode.insert(r.code, int(d->regions[Province].size()));
        d->regions[Province].push_back({r.name, -1});
    }
    for (const Row& r : cities) {
        const int p = provByCode.value(r.parentCode, -1);
        if (p < 0)
            continue;
        cityByCode.insert(r.code, int(d->regions[City].size()));
        d->regions[City].push_back({r.name, p});
    }
    d->children.resize(d->regions[City].size());
    for (const Row& r : areas) {
        const int c = cityByCode.value(r.parentCode, -1);
        if (c < 0)
            continue;
        d->children[size_t(c)].push_back(int(d->regions[Area].size()));
        d->regions[Area].push_back({r.name, c});
    }
    d->onlyCity.assign(d->regions[Province].size(), -1);
    std::vector<int> cityCount(d->regions[Province].size(), 0);
    for (size_t c = 0; c < d->regions[City].size(); ++c) {
        const int p = d->regions[City][c].parent;
        if (++cityCount[size_t(p)] == 1)
            d->onlyCity[size_t(p)] = int(c);
        else
            d->onlyCity[size_t(p)] = -1;
    }
    for (int level = Province; level <= Area; ++level) {
        const auto& list = d->regions[level];
        for (size_t i = 0; i < list.size(); ++i) {
            d->trie.add(list[i].name, {quint8(level), false, int(i), -1});
            for (const QString& s : shortForms(list[i].name, Level(level)))
                d->trie.add(s, {quint8(level), true, int(i), -1});
        }
    }
    const QList<RegionAlias>& aliases = regionAliases();
    for (int a = 0; a < aliases.size(); ++a) {
        const RegionAlias& al = aliases[a];
        int city = -1;
        for (size_t c = 0; c < d->regions[City].size(); ++c)
            if (d->regions[City][c].name == al.city &&
                d->regions[Province][size_t(d->regions[City][c].parent)].name == al.province)
                city = int(c);
        if (city < 0)
            continue;
        Level level = City;
        int target = city;
        if (!al.district.isEmpty()) {
            level = Area;
            target = -1;
            for (int x : d->children[size_t(city)])
                if (d->regions[Area][size_t(x)].name == al.district)
                    target = x;
            if (target < 0)
                continue;
        }
        d->trie.add(al.former, {quint8(level), false, target, a});
        for (const QString& s : shortForms(al.former, level))
            d->trie.add(s, {quint8(level), true, target, a});
    }
}

AddressParser::~AddressParser() = default;

std::unique_ptr<AddressParser> AddressParser::fromDatabase(const QSqlDatabase& db, QString* error)
{
    auto read = [&](const QString& sql, QList<Row>* rows) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(sql)) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
        while (q.next())
            rows->append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
        if (rows->isEmpty()) {
            if (error)
                *error = QStringLiteral("地区表是空的。");
            return false;
        }
        return true;
    };
    QList<Row> p, c, a;
    if (!read(QStringLiteral("SELECT code, name, '' FROM province ORDER BY code"), &p) ||
        !read(QStringLiteral("SELECT code, name, provinceID FROM city ORDER BY code"), &c) ||
        !read(QStringLiteral("SELECT code, name, cityID FROM area ORDER BY code"), &a))
        return nullptr;
    return std::make_unique<AddressParser>(p, c, a);
}

bool AddressParser::regionsBelongTogether(const QString& province, const QString& city,
                                          const QString& district) const
{
    for (size_t c = 0; c < d->regions[City].size(); ++c) {
        const Region& rc = d->regions[City][c];
        if (rc.name != city || d->regions[Province][size_t(rc.parent)].name != province)
            continue;
        if (district.isEmpty())
            return d->children[c].empty();
        for (int a : d->children[c])
            if (d->regions[Area][size_t(a)].name == district)
                return true;
    }
    return false;
}

ParsedAddress AddressParser::parse(QStringView input) const
{
    ParsedAddress out;
    QString text = replaceLabels(input.toString().normalized(QString::NormalizationForm_KC));

    // Numbers: runs of digit groups joined by one blank, dash or 转.
    QString rest;
    rest.reserve(text.size());
    int i = 0;
    while (i < text.size()) {
        const bool plus =
            text[i] == QLatin1Char('+') && i + 1 < text.size() && isDigit(text[i + 1]);
        if (!isDigit(text[i]) && !plus) {
            rest += text[i++];
            continue;
        }
        const int runStart = i;
        if (plus)
            ++i;
        std::vector<Group> groups;
        QChar join;
        while (i < text.size() && isDigit(text[i])) {
            const int g = i;
            while (i < text.size() && isDigit(text[i]))
                ++i;
            groups.push_back({g, i, join});
            if (i + 1 < text.size() && isDigit(text[i + 1]) &&
                (text[i] == QLatin1Char(' ') || isDash(text[i]) || text[i].unicode() == 0x8F6C)) {
                join = text[i];
                ++i;
            } else {
                break;
            }
        }
        auto digits = [&](size_t a, size_t b) {
            QString s;
            for (size_t k = a; k <= b; ++k)
                s += QStringView(text).mid(groups[k].start, groups[k].end - groups[k].start);
            return s;
        };
        const QChar before = runStart > 0 ? text[runStart - 1] : QChar(u'\n');
        size_t g = 0;
        int keptFrom = runStart;
        auto keep = [&](int upTo) { rest += QStringView(text).mid(keptFrom, upTo - keptFrom); };
        while (g < groups.size()) {
            bool used = false;
            // mobile, possibly after +86 / 0086 / 86
            for (size_t h = g; h < groups.size() && !used; ++h) {
                QString s = digits(g, h);
                if (s.size() > 15)
                    break;
                if (s.startsWith(QLatin1String("0086")))
                    s = s.mid(4);
                else if (s.size() == 13 && s.startsWith(QLatin1String("86")))
                    s = s.mid(2);
                if (s.size() == 11 && s[0] == QLatin1Char('1') && out.mobile.isEmpty()) {
                    keep(g == 0 ? runStart : groups[g].start);
                    out.mobile = s;
                    rest += QLatin1Char('\n');
                    keptFrom = groups[h].end;
                    g = h + 1;
                    used = true;
                }
            }
            if (used)
                continue;
            const QString first = digits(g, g);
            if (first.startsWith(QLatin1Char('0')) && out.landline.isEmpty()) {
                QString area, number;
                size_t last = g;
                if ((first.size() == 3 || first.size() == 4) && g + 1 < groups.size()) {
                    const QString n = digits(g + 1, g + 1);
                    if (n.size() == 7 || n.size() == 8) {
                        area = first;
                        number = n;
                        last = g + 1;
                    }
                } else if (first.size() >= 10 && first.size() <= 12) {
                    const int cut =
                        (first[1] == QLatin1Char('1') || first[1] == QLatin1Char('2')) ? 3 : 4;
                    if (first.size() - cut == 7 || first.size() - cut == 8) {
                        area = first.left(cut);
                        number = first.mid(cut);
                    }
                }
                if (!area.isEmpty()) {
                    out.landline = area + QLatin1Char('-') + number;
                    if (last + 1 < groups.size() &&
                        groups[last + 1].joinBefore != QLatin1Char(' ') &&
                        groups[last + 1].end - groups[last + 1].start <= 6) {
                        ++last;
                        out.landline += QStringLiteral("转") + digits(last, last);
                    }
                    keep(groups[g].start);
                    rest += QLatin1Char('\n');
                    keptFrom = groups[last].end;
                    g = last + 1;
                    continue;
                }
            }
            // a postcode stands alone or follows its label
            if (first.size() == 6 && out.postcode.isEmpty()) {
                const int end = groups[g].end;
                int b = groups[g].start - 1;
                while (b >= 0 && text[b] == QLatin1Char(' '))
                    --b;
                const bool labelled = b >= 0 && text[b] == kPostcodeMark;
                const bool startsAlone = g == 0 ? (runStart == 0 || isSeparator(before))
                                                : groups[g].joinBefore == QLatin1Char(' ');
                const bool endsAlone = g + 1 == groups.size()
                                           ? (end == text.size() || isSeparator(text[end]))
                                           : groups[g + 1].joinBefore == QLatin1Char(' ');
                const bool alone = startsAlone && endsAlone;
                if (labelled || alone) {
                    keep(groups[g].start);
                    out.postcode = first;
                    rest += QLatin1Char('\n');
                    keptFrom = end;
                    ++g;
                    continue;
                }
            }
            ++g;
        }
        keep(i);
    }

    // Segments, each with the label mark that came before it.
    struct Segment {
        QString text;
        bool named;
    };
    std::vector<Segment> segments;
    {
        QString cur;
        bool named = false, pendingName = false;
        auto flush = [&] {
            if (!cur.isEmpty())
                segments.push_back({cur, named});
            cur.clear();
            named = false;
        };
        for (int k = 0; k < rest.size(); ++k) {
            const QChar c = rest[k];
            const bool dashSep = isDash(c) && !(k > 0 && isDigit(rest[k - 1]) &&
                                                k + 1 < rest.size() && isDigit(rest[k + 1]));
            if (c == kNameMark) {
                flush();
                pendingName = true;
            } else if (isSeparator(c) || dashSep) {
                flush();
            } else {
                if (cur.isEmpty()) {
                    named = pendingName;
                    pendingName = false;
                }
                cur += c;
            }
        }
        flush();
    }

    int nameSeg = -1;
    for (size_t k = 0; k < segments.size() && nameSeg < 0; ++k)
        if (segments[k].named)
            nameSeg = int(k);
    if (nameSeg < 0 && !segments.empty()) {
        // at either end first, then anywhere
        if (d->isNameLike(segments.front().text))
            nameSeg = 0;
        else if (d->isNameLike(segments.back().text))
            nameSeg = int(segments.size()) - 1;
        else
            for (size_t k = 1; k + 1 < segments.size() && nameSeg < 0; ++k)
                if (d->isNameLike(segments[k].text))
                    nameSeg = int(k);
    }
    QStringList addressParts;
    for (size_t k = 0; k < segments.size(); ++k) {
        if (int(k) == nameSeg)
            out.name = segments[k].text;
        else
            addressParts << segments[k].text;
    }
    const QString address = addressParts.join(QLatin1Char(' '));
    const QStringView s(address);

    Reading best;
    for (int p = 0; p < s.size(); ++p) {
        if (s[p] == QLatin1Char(' '))
            continue;
        Reading rd = d->readAt(s, p);
        if (rd.levels > 0 && (best.levels == 0 || rd.levels > best.levels))
            best = std::move(rd);
        if (best.levels == 3)
            break;
    }

    if (best.levels == 0 || best.triples.front().city < 0) {
        out.verdict = ParsedAddress::Verdict::NotRecognised;
        out.detail = address;
        return out;
    }

    std::vector<Triple> triples = best.triples;
    QStringView prefix = s.left(best.start).trimmed();
    if (!prefix.isEmpty() && out.name.isEmpty() && d->isNameLike(prefix)) {
        out.name = prefix.toString();
        prefix = {};
    }
    // A second place named before or right after the reading makes it a
    // question, with both readings offered.
    int conflictAt = -1;
    QStringView conflictText;
    for (int p = 0; p < prefix.size() && conflictAt < 0; ++p)
        if (d->conflictsAt(prefix, p, triples, true)) {
            conflictAt = p;
            conflictText = prefix;
        }
    const int after = Impl::skipBlanks(s, best.end);
    if (conflictAt < 0 && after < s.size() && d->conflictsAt(s, after, triples, false)) {
        conflictAt = after;
        conflictText = s;
    }
    const bool conflict = conflictAt >= 0;
    if (conflict) {
        const Reading other = d->readAt(conflictText, conflictAt);
        for (const Triple& t : other.triples)
            if (std::find(triples.begin(), triples.end(), t) == triples.end())
                triples.push_back(t);
    }

    QString detail = s.mid(best.end).trimmed().toString();
    while (!detail.isEmpty() && (isSeparator(detail.front()) || isDash(detail.front())))
        detail.remove(0, 1);
    if (!prefix.isEmpty())
        detail =
            detail.isEmpty() ? prefix.toString() : prefix.toString() + QLatin1Char(' ') + detail;
    out.detail = detail;
    if (best.alias >= 0)
        out.formerName = regionAliases().at(best.alias).former;

    auto shared = [&](Level level) {
        const QString first = d->tripleName(level, triples.front());
        for (const Triple& t : triples)
            if (d->tripleName(level, t) != first)
                return QString();
        return first;
    };
    out.province = shared(Province);
    out.city = shared(City);
    out.district = shared(Area);
    if (triples.size() == 1 && !conflict) {
        out.verdict = ParsedAddress::Verdict::Sure;
    } else {
        out.verdict = ParsedAddress::Verdict::Ambiguous;
        for (const Triple& t : triples)
            out.candidates.append(
                {d->tripleName(Province, t), d->tripleName(City, t), d->tripleName(Area, t)});
    }
    return out;
}

std::unique_ptr<AddressParser> AddressParser::fromDeliveredRegions(QString* error)
{
    const QString name = QStringLiteral("regions-") + QUuid::createUuid().toString();
    std::unique_ptr<AddressParser> parser;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (!db.open()) {
            *error = db.lastError().text();
        } else {
            try {
                Schema::create(db);
                parser = fromDatabase(db, error);
            } catch (const DataError& e) {
                *error = e.message();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return parser;
}
