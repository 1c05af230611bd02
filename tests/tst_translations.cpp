// The window speaks the person's language: Qt's own texts (standard dialogs) from
// Qt's translations, kiv's window texts from its own.
#include "app/Translations.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QtTest>

class TestTranslations : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase() { loadTranslations(QLocale(QLocale::English)); }

    void shouldTranslateQtAndKivTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("qtOwn");
        QTest::addColumn<QByteArray>("context");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("expected");
        QTest::newRow("de: file chooser's Open") << "de_DE" << true << QByteArray("QFileDialog") << QByteArray("&Open") << QStringLiteral("&Öffnen");
        QTest::newRow("de: Cancel") << "de_DE" << true << QByteArray("QPlatformTheme") << QByteArray("Cancel") << QStringLiteral("Abbrechen");
        QTest::newRow("de: notice") << "de_DE" << false << QByteArray("kiv") << QByteArray("Notice \u2014 kiv") << QStringLiteral("Hinweis \u2014 kiv");
        QTest::newRow("de: file chooser of a form") << "de_DE" << false << QByteArray("MTextFile") << QByteArray("Open") << QStringLiteral("Öffnen");
        QTest::newRow("it: Cancel") << "it_IT" << true << QByteArray("QPlatformTheme") << QByteArray("Cancel") << QStringLiteral("Annulla");
        QTest::newRow("it: log menu") << "it_IT" << false << QByteArray("TextLogView") << QByteArray("&Copy") << QStringLiteral("&Copia");
        QTest::newRow("fr: none of kiv's, English stays") << "fr_FR" << false << QByteArray("kiv") << QByteArray("Notice \u2014 kiv") << QStringLiteral("Notice \u2014 kiv");
        QTest::newRow("C: English") << "C" << false << QByteArray("MTextFile") << QByteArray("Open") << QStringLiteral("Open");
    }

    void shouldTranslateQtAndKivTexts()
    {
        QFETCH(QString, locale);
        QFETCH(bool, qtOwn);
        QFETCH(QByteArray, context);
        QFETCH(QByteArray, source);
        QFETCH(QString, expected);
        const QString qm = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_%1.qm").arg(locale.left(2));
        if (qtOwn && !QFile::exists(qm))
            QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
        loadTranslations(QLocale(locale));
        QCOMPARE(QCoreApplication::translate(context.constData(), source.constData()), expected);
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
