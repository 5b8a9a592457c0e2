#include "base/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace
{

// The file kinds of Qt's file icon provider, missing from its Chinese
// catalogue: the file dialog showed "Folder" beside Chinese columns.
class FileKindTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* = nullptr,
                      int = -1) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        static const struct {
            const char* source;
            const char* text;
        } kinds[] = {{"Folder", "文件夹"},   {"Drive", "驱动器"}, {"File", "文件"},
                     {"%1 File", "%1 文件"}, {"Alias", "替身"},   {"Shortcut", "快捷方式"}};
        for (const auto& kind : kinds) {
            if (qstrcmp(sourceText, kind.source) == 0)
                return QString::fromUtf8(kind.text);
        }
        return QString();
    }
};

} // namespace

bool installQtChineseTranslations()
{
    QCoreApplication* app = QCoreApplication::instance();
    QCoreApplication::installTranslator(new FileKindTranslator(app));
    // Kept for the whole run; owned by the application object.
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void useChineseLocale()
{
    // Qt's file dialog formats dates and sizes in the system locale, which
    // Qt reads from the environment when the application starts.
    qputenv("LC_ALL", "zh_CN.UTF-8");
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}
