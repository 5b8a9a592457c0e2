#include "base/session.h"

Session Session::forAppDir(const QString& dir)
{
    Session s;
    s.appDir = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    s.helpDir = s.appDir;
    return s;
}

QFont Session::printFont() const
{
    if (chosenPrintFont)
        return *chosenPrintFont;
    QFont f(QStringLiteral("WenQuanYi Zen Hei"));
    f.setPointSize(10);
    return f;
}

QColor Session::printColour() const
{
    return chosenPrintColour.isValid() ? chosenPrintColour : QColor(Qt::black);
}
