#include "app/frmMain.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

// Every shipped example must build into a window and close again cleanly; under
// the sanitizer build this is also the leak check of whole forms.
class TestExamples : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void shouldBuildAndCloseEveryExample_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(QStringLiteral(KIV_SOURCE_DIR "/examples"));
        const QStringList forms = dir.entryList({QStringLiteral("*.mc")}, QDir::Files, QDir::Name);
        QVERIFY(forms.size() >= 6);
        for (const QString &f : forms)
            QTest::newRow(qPrintable(f)) << dir.filePath(f);
    }
    void shouldBuildAndCloseEveryExample()
    {
        QFETCH(QString, path);
        QTemporaryDir cwd;
        const QString old = QDir::currentPath();
        QDir::setCurrent(cwd.path());
        QByteArray arg0("kiv"), arg1 = QFile::encodeName(path);
        char *argv[] = {arg0.data(), arg1.data(), nullptr};
        {
            frmMain window;
            QString error;
            const bool built = window.setupForm(2, argv, &error);
            QDir::setCurrent(old);
            QVERIFY2(built, qPrintable(error));
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY(window.findChildren<QWidget *>().size() > 1);
        }
    }
};

QTEST_MAIN(TestExamples)
#include "tst_examples.moc"
