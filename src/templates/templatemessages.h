#pragma once

#include <QString>

// The texts the templates show, for the windows and the commands alike.
namespace TemplateMessages
{

QString noCurrentTemplate();               // "当前模板不存在，请先保存模板！"
QString templateGone(const QString& name); // "模板“%1”已不在模板表中"
QString chooseTemplateFirst();             // "请先在模板列表中选择模板！"
QString blankName();                       // "模板名不能为空"
QString saveFailed();                      // "发生异常错误，模板保存失败！"
QString namingCaption();                   // "模板命名"
// A picture that could not be written, and why.
QString cannotWritePicture(const QString& path, const QString& reason);
// A server already keeps another picture under that name.
QString pictureNameTaken(const QString& name);
QString paperWidth();  // "纸宽", a paper box's name in its messages
QString paperHeight(); // "纸高"

} // namespace TemplateMessages
