#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace Language {

bool useChinese()
{
    static bool installed = false;
    if (installed)
        return true;
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    // "qt" is the catalogue that pulls in qtbase and the other modules' translations.
    auto* qt = new QTranslator(QCoreApplication::instance());
    for (const QString& folder : {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
        if (qt->load(chinese, QStringLiteral("qt"), QStringLiteral("_"), folder)
            && QCoreApplication::installTranslator(qt)) {
            installed = true;
            return true;
        }
    }
    delete qt;
    return false;
}

}  // namespace Language
