#include "templates/templatemessages.h"

namespace TemplateMessages
{

QString noCurrentTemplate()
{
    return QStringLiteral("当前模板不存在，请先保存模板！");
}

QString templateGone(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("模板已不在模板表中");
    return QStringLiteral("模板“%1”已不在模板表中").arg(name);
}

QString chooseTemplateFirst()
{
    return QStringLiteral("请先在模板列表中选择模板！");
}

QString blankName()
{
    return QStringLiteral("模板名不能为空");
}

QString saveFailed()
{
    return QStringLiteral("发生异常错误，模板保存失败！");
}

QString namingCaption()
{
    return QStringLiteral("模板命名");
}

QString cannotWritePicture(const QString& path, const QString& reason)
{
    return QStringLiteral("无法写入背景图 %1\n%2").arg(path, reason);
}

QString pictureNameTaken(const QString& name)
{
    return QStringLiteral("背景图名“%1”已被另一张图片使用，请重新保存。").arg(name);
}

QString paperWidth()
{
    return QStringLiteral("纸宽");
}

QString paperHeight()
{
    return QStringLiteral("纸高");
}

} // namespace TemplateMessages
