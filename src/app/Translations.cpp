#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

void loadTranslations(const QLocale &locale)
{
    // The application holds what it has installed: a new locale replaces it, and a
    // locale without translations leaves the English texts.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    qDeleteAll(app->findChildren<QTranslator *>(Qt::FindDirectChildrenOnly));
    auto *qt = new QTranslator(app), *own = new QTranslator(app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    if (own->load(locale, QStringLiteral("kiv"), QStringLiteral("_"), QStringLiteral(":/kiv/translations")))
        QCoreApplication::installTranslator(own);
}
