#include "templates/fieldcatalogue.h"

namespace FieldCatalogue
{

const QVector<FieldInfo>& all()
{
    static const QVector<FieldInfo> fields = [] {
        // In the order of Schema::fieldKeys(), which names each field.
        struct Raw {
            const char *table, *column, *hint, *caption;
            int left, top;
        };
        static const Raw raw[kCount] = {
            {"Exp_Send_info", "Name", "发件人姓名", "发件人姓名", 23, 462},
            {"Exp_Send_info", "Company", "发件人单位", "发件人单位", 68, 462},
            {"Exp_Send_info", "Address", "发件人详细地址", "发件详细地址", 113, 462},
            {"Exp_Send_info", "Mobile", "发件人手机", "发件人手机", 158, 462},
            {"Exp_Send_info", "Phone", "发件人固定电话", "发件人固定电话", 203, 462},
            {"Exp_Send_info", "Contents", "内件品名", "内件品名", 248, 462},
            {"Exp_Att_Info", "Name", "收件人姓名", "收件人姓名", 293, 462},
            {"Exp_Att_Info", "Company", "收件人单位", "收件人单位", 339, 462},
            {"Exp_Att_Info", "Address", "收件人详细地址", "收件详细地址", 384, 462},
            {"Exp_Att_Info", "Mobile", "收件人手机", "收件人手机", 429, 462},
            {"Exp_Att_Info", "Phone", "收件人固定电话", "收件人固定电话", 474, 462},
            {"Exp_Att_Info", "Disrination", "目的地", "目的地", 519, 462},
            {"Exp_Att_Info", "PostCode", "收件人邮编", "收件人邮编", 564, 462},
            {"Exp_Att_Info", "Prvince", "收件省", "收件省", 158, 487},
            {"Exp_Att_Info", "City", "收件市", "收件市", 203, 487},
            {"Exp_Att_Info", "Country", "收件区(县)", "收件县", 248, 487},
            {"Exp_Send_info", "Departure", "始发地", "始发地", 293, 487},
            {"Exp_Send_info", "PostCode", "发件人邮编", "发件人邮编", 339, 487},
            {"Exp_Send_info", "Prvince", "发件省", "发件省", 384, 487},
            {"Exp_Send_info", "City", "发件市", "发件市", 429, 487},
            {"Exp_Send_info", "Country", "发件区(县)", "发件县", 474, 487},
            {"Exp_Att_Info", "Custom1", "自定义字段1", "自定义字段1", 519, 487},
            {"Exp_Att_Info", "Custom2", "自定义字段2", "自定义字段2", 564, 487},
            {"Exp_Att_Info", "Custom3", "自定义字段3", "自定义字段3", 607, 487},
            {"Exp_Att_Info", "Custom4", "自定义字段4", "自定义字段4", 651, 487},
            {"Exp_Att_Info", "Custom5", "自定义字段5", "自定义字段5", 694, 487},
            {"Exp_Att_Info", "WayBillNo", "运单号", "运单号", 607, 462},
            {"Exp_Att_Info", "ExpName", "快递公司", "快递公司", 651, 462},
        };
        QVector<FieldInfo> v;
        for (int i = 0; i < kCount; ++i) {
            const Raw& r = raw[i];
            v.push_back({i + 1, Schema::fieldKeys().at(i), QString::fromUtf8(r.table),
                         QString::fromUtf8(r.column), QString::fromUtf8(r.hint),
                         QString::fromUtf8(r.caption), r.left, r.top});
        }
        return v;
    }();
    return fields;
}

const FieldInfo* byKey(const QString& key)
{
    for (const FieldInfo& f : all())
        if (f.key == key)
            return &f;
    return nullptr;
}

const FieldInfo* byCaption(const QString& caption)
{
    for (const FieldInfo& f : all())
        if (f.caption == caption)
            return &f;
    return nullptr;
}

} // namespace FieldCatalogue
