#include "base/guarded.h"

#include "base/dataerror.h"
#include "base/prompt.h"

#include <QString>
#include <exception>

QString dataErrorText(const QString& reason)
{
    return withReason(QStringLiteral("数据库操作失败，本次操作没有完成！"), reason);
}

QString programErrorText(const QString& reason)
{
    return withReason(QStringLiteral("程序发生错误，本次操作没有完成！"), reason);
}

QString shownText(const DataError& error)
{
    return error.kind() == DataError::Kind::Failure ? dataErrorText(error.message())
                                                    : error.message();
}

QString withReason(const QString& firstLine, const QString& reason)
{
    const QString shown = reason.trimmed();
    return shown.isEmpty() ? firstLine : firstLine + QLatin1Char('\n') + shown;
}

QString reasonOf(const std::exception& error)
{
    if (const auto* dataError = dynamic_cast<const DataError*>(&error))
        return dataError->message();
    return QString::fromLocal8Bit(error.what());
}

bool guarded(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (const DataError& e) {
        prompt().error(shownText(e));
    } catch (const std::exception& e) {
        prompt().error(programErrorText(reasonOf(e)));
    }
    return false;
}
