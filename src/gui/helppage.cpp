#include "gui/helppage.h"

#include "base/prompt.h"

#include <QFileInfo>
#include <QUrl>

namespace HelpPage
{

bool open(const QString& appDir, const QString& section)
{
    const QFileInfo help(appDir + QLatin1String("help.html"));
    if (!help.exists()) {
        prompt().message(QStringLiteral("帮助文件不存在，请确认您下载到了完整安装包！"));
        return false;
    }
    const QString path = help.absoluteFilePath();
    if (!help.isFile() || !help.isReadable()) {
        prompt().message(
            QStringLiteral("帮助文件无法读取：%1\n请检查它是否是文件、是否有读取权限。").arg(path));
        return false;
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!section.isEmpty())
        url.setFragment(section);
    if (prompt().openUrl(url))
        return true;
    prompt().message(QStringLiteral("无法打开帮助文件：%1\n没有能显示网页的程序：请安装浏览器，"
                                    "或为 .html 文件设定默认的打开方式。")
                         .arg(path));
    return false;
}

} // namespace HelpPage
