#include "book/contactnumbers.h"

#include <QRegularExpression>

QString mobileNumberProblem(const QString& mobile)
{
    static const QRegularExpression valid(QStringLiteral("^1[0-9]{10}$"));
    if (mobile.isEmpty() || valid.match(mobile).hasMatch())
        return QString();
    return QStringLiteral("手机号码“%1”不正确：手机号码应为以1开头的11位数字。").arg(mobile);
}

QString postCodeProblem(const QString& postCode)
{
    static const QRegularExpression valid(QStringLiteral("^[0-9]{6}$"));
    if (postCode.isEmpty() || valid.match(postCode).hasMatch())
        return QString();
    return QStringLiteral("邮编“%1”不正确：邮编应为6位数字。").arg(postCode);
}
