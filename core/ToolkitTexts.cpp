#include "core/ToolkitTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace {

// Texts of the file dialogs that Qt's Russian translations do not have.
class TMissingTexts : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation, int n) const override
    {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (!context || !sourceText || std::strcmp(context, "QAbstractFileIconProvider") != 0)
            return QString();
        const struct {
            const char* source;
            const char* russian;
        } texts[] = {{"Folder", "Папка"}, {"File", "Файл"}, {"%1 File", "Файл %1"}, {"Drive", "Диск"}};
        for (const auto& t : texts)
            if (std::strcmp(sourceText, t.source) == 0)
                return QString::fromUtf8(t.russian);
        return QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

void InstallToolkitTexts()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    // Installed first, asked last: Qt's own translations come before it.
    static TMissingTexts missing;
    QCoreApplication::installTranslator(&missing);
    static QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
}
