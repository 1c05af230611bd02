#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

void loadTranslations(const QLocale &locale)
{
    // Installed once; a locale without translations leaves the English texts.
    static QTranslator *qt = nullptr;
    static QTranslator *own = nullptr;
    for (QTranslator **t : {&qt, &own}) {
        if (*t) {
            QCoreApplication::removeTranslator(*t);
            delete *t;
        }
        *t = new QTranslator;
    }
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    if (own->load(locale, QStringLiteral("kiv"), QStringLiteral("_"), QStringLiteral(":/kiv/translations")))
        QCoreApplication::installTranslator(own);
}
