#include "address/regionaliases.h"

const QList<RegionAlias>& regionAliases()
{
    // Only changes that are settled and whole: the old place went entirely
    // into the named one.
    static const QList<RegionAlias> list = {
        {QStringLiteral("襄樊市"), QStringLiteral("湖北省"), QStringLiteral("襄阳市"), {}},
        {QStringLiteral("思茅市"), QStringLiteral("云南省"), QStringLiteral("普洱市"), {}},
        {QStringLiteral("江东区"), QStringLiteral("浙江省"), QStringLiteral("宁波市"),
         QStringLiteral("鄞州区")},
        {QStringLiteral("宣武区"), QStringLiteral("北京市"), QStringLiteral("北京市"),
         QStringLiteral("西城区")},
        {QStringLiteral("崇文区"), QStringLiteral("北京市"), QStringLiteral("北京市"),
         QStringLiteral("东城区")},
        {QStringLiteral("卢湾区"), QStringLiteral("上海市"), QStringLiteral("上海市"),
         QStringLiteral("黄浦区")},
        {QStringLiteral("闸北区"), QStringLiteral("上海市"), QStringLiteral("上海市"),
         QStringLiteral("静安区")},
        {QStringLiteral("南汇区"), QStringLiteral("上海市"), QStringLiteral("上海市"),
         QStringLiteral("浦东新区")},
        {QStringLiteral("塘沽区"), QStringLiteral("天津市"), QStringLiteral("天津市"),
         QStringLiteral("滨海新区")},
        {QStringLiteral("汉沽区"), QStringLiteral("天津市"), QStringLiteral("天津市"),
         QStringLiteral("滨海新区")},
        {QStringLiteral("大港区"), QStringLiteral("天津市"), QStringLiteral("天津市"),
         QStringLiteral("滨海新区")},
        {QStringLiteral("下城区"), QStringLiteral("浙江省"), QStringLiteral("杭州市"),
         QStringLiteral("拱墅区")},
        {QStringLiteral("江干区"), QStringLiteral("浙江省"), QStringLiteral("杭州市"),
         QStringLiteral("上城区")},
        {QStringLiteral("沧浪区"), QStringLiteral("江苏省"), QStringLiteral("苏州市"),
         QStringLiteral("姑苏区")},
        {QStringLiteral("平江区"), QStringLiteral("江苏省"), QStringLiteral("苏州市"),
         QStringLiteral("姑苏区")},
        {QStringLiteral("金阊区"), QStringLiteral("江苏省"), QStringLiteral("苏州市"),
         QStringLiteral("姑苏区")},
        {QStringLiteral("萝岗区"), QStringLiteral("广东省"), QStringLiteral("广州市"),
         QStringLiteral("黄埔区")},
        {QStringLiteral("东山区"), QStringLiteral("广东省"), QStringLiteral("广州市"),
         QStringLiteral("越秀区")},
        {QStringLiteral("芳村区"), QStringLiteral("广东省"), QStringLiteral("广州市"),
         QStringLiteral("荔湾区")},
    };
    return list;
}
