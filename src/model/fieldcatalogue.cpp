#include "fieldcatalogue.h"

namespace FieldCatalogue {

const QVector<FieldInfo>& all()
{
    static const QVector<FieldInfo> fields = [] {
        struct Raw {
            const char *key, *table, *column, *hint, *caption;
            int left, top;
        };
        static const Raw raw[kCount] = {
            {"S_Name", "Exp_Send_info", "Name", "发件人姓名", "发件人姓名", 23, 462},
            {"S_Company", "Exp_Send_info", "Company", "发件人单位", "发件人单位", 68, 462},
            {"S_Address", "Exp_Send_info", "Address", "发件人详细地址", "发件详细地址", 113, 462},
            {"S_Mobile", "Exp_Send_info", "Mobile", "发件人手机", "发件人手机", 158, 462},
            {"S_Phone", "Exp_Send_info", "Phone", "发件人固定电话", "发件人固定电话", 203, 462},
            {"S_Contents", "Exp_Send_info", "Contents", "内件品名", "内件品名", 248, 462},
            {"A_Name", "Exp_Att_Info", "Name", "收件人姓名", "收件人姓名", 293, 462},
            {"A_Company", "Exp_Att_Info", "Company", "收件人单位", "收件人单位", 339, 462},
            {"A_Address", "Exp_Att_Info", "Address", "收件人详细地址", "收件详细地址", 384, 462},
            {"A_Mobile", "Exp_Att_Info", "Mobile", "收件人手机", "收件人手机", 429, 462},
            {"A_Phone", "Exp_Att_Info", "Phone", "收件人固定电话", "收件人固定电话", 474, 462},
            {"A_Disrination", "Exp_Att_Info", "Disrination", "目的地", "目的地", 519, 462},
            {"A_PostCode", "Exp_Att_Info", "PostCode", "收件人邮编", "收件人邮编", 564, 462},
            {"A_Prvince", "Exp_Att_Info", "Prvince", "收件省", "收件省", 158, 487},
            {"A_City", "Exp_Att_Info", "City", "收件市", "收件市", 203, 487},
            {"A_Country", "Exp_Att_Info", "Country", "收件区(县)", "收件县", 248, 487},
            {"S_Departure", "Exp_Send_info", "Departure", "始发地", "始发地", 293, 487},
            {"S_PostCode", "Exp_Send_info", "PostCode", "发件人邮编", "发件人邮编", 339, 487},
            {"S_Prvince", "Exp_Send_info", "Prvince", "发件省", "发件省", 384, 487},
            {"S_City", "Exp_Send_info", "City", "发件市", "发件市", 429, 487},
            {"S_Country", "Exp_Send_info", "Country", "发件区(县)", "发件县", 474, 487},
            {"A_Custom1", "Exp_Att_Info", "Custom1", "自定义字段1", "自定义字段1", 519, 487},
            {"A_Custom2", "Exp_Att_Info", "Custom2", "自定义字段2", "自定义字段2", 564, 487},
            {"A_Custom3", "Exp_Att_Info", "Custom3", "自定义字段3", "自定义字段3", 607, 487},
            {"A_Custom4", "Exp_Att_Info", "Custom4", "自定义字段4", "自定义字段4", 651, 487},
            {"A_Custom5", "Exp_Att_Info", "Custom5", "自定义字段5", "自定义字段5", 694, 487},
        };
        QVector<FieldInfo> v;
        for (int i = 0; i < kCount; ++i) {
            const Raw& r = raw[i];
            v.push_back({i + 1, QStringLiteral("DBEdit%1").arg(i + 1), QString::fromUtf8(r.key),
                         QString::fromUtf8(r.table), QString::fromUtf8(r.column),
                         QString::fromUtf8(r.hint), QString::fromUtf8(r.caption), r.left, r.top});
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

const FieldInfo* byControl(const QString& controlName)
{
    for (const FieldInfo& f : all())
        if (f.control == controlName)
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
