#include "app/frmMain.h"
#include "builder/PendingTab.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

namespace {

// An argument vector like main's.
class Args
{
public:
    Args(std::initializer_list<QByteArray> args) : m_texts(args)
    {
        for (QByteArray &t : m_texts)
            m_pointers.push_back(t.data());
        m_pointers.push_back(nullptr);
    }
    int argc() const { return int(m_texts.size()); }
    char **argv() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_texts;
    std::vector<char *> m_pointers;
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void modeChoice();
    void informationOptions();
    void documentMode();
    void documentThatCannotBeBuilt_data();
    void documentThatCannotBeBuilt();

private:
    QByteArray writeFile(const QString &name, const QByteArray &text);
    QTemporaryDir m_dir;
};

void TestStartup::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(!variableStore() && !runnerStore() && !outputHandler());
}

QByteArray TestStartup::writeFile(const QString &name, const QByteArray &text)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return QFile::encodeName(file.fileName());
}

void TestStartup::modeChoice()
{
    QCOMPARE(chooseMode(0, nullptr), StartMode::Launcher);
    Args none{"kiv"};
    QCOMPARE(chooseMode(none.argc(), none.argv()), StartMode::Launcher);
    char *nullSecond[] = {none.argv()[0], nullptr};
    QCOMPARE(chooseMode(2, nullSecond), StartMode::Launcher);
    Args show{"kiv", "-show", "a", "b", "c"};
    QCOMPARE(chooseMode(show.argc(), show.argv()), StartMode::Notice);
    for (const char *name : {"-showx", "-sho", "-SHOW", "show", "form.mc", ""}) {
        Args a{"kiv", name};
        QVERIFY2(chooseMode(a.argc(), a.argv()) == StartMode::Document, name);
    }
}

void TestStartup::informationOptions()
{
    Args help{"kiv", "--help"};
    const auto usage = informationRequest(help.argc(), help.argv());
    QVERIFY(usage);
    for (const char *word : {"kiv FILE.mc", "-show", "scrolllayout", "iconlist", "--version"})
        QVERIFY2(usage->contains(word), word);
    Args version{"kiv", "--version"};
    QCOMPARE(informationRequest(version.argc(), version.argv()), std::optional(QByteArray("kiv " KIV_VERSION "\n")));
    for (const char *other : {"--helpme", "-show", "-help"}) {
        Args a{"kiv", other, "--help"};
        QVERIFY(!informationRequest(a.argc(), a.argv()));
    }
}

void TestStartup::documentMode()
{
    const QByteArray path = writeFile(QStringLiteral("my form.mc"),
        "<?xml version=\"1.0\"?>\n<vlayout><tab title=\"t\"/><label>echo \"$KIV_MY_PID\"</label></vlayout>\n");
    // Whatever a previous document left pending is not joined.
    QTabWidget stale;
    setPendingTabWidget(&stale);
    {
        Args args{"kiv", path, "ignored", "-show"};
        frmMain window;
        QString error = QStringLiteral("untouched");
        QVERIFY(window.setupForm(args.argc(), args.argv(), &error));
        QCOMPARE(error, QStringLiteral("untouched"));
        QCOMPARE(window.findChild<QLabel *>()->text(), QString::number(QCoreApplication::applicationPid()));
        QCOMPARE(window.findChildren<QTabWidget *>().size(), 1);
        QCOMPARE(stale.count(), 0);
        QVERIFY(outputHandler());
        QCOMPARE(runnerStore(), variableStore());
        QCOMPARE(variableStore()->name(0), QByteArray("KIV_MY_PID"));
    }
    // The window owned them.
    QVERIFY(!variableStore() && !runnerStore() && !outputHandler());

    // A root that is no tag of the table gives an empty window.
    Args unknown{"kiv", writeFile(QStringLiteral("unknown.mc"), "<Vlayout><label>echo no</label></Vlayout>")};
    frmMain window;
    QVERIFY(window.setupForm(unknown.argc(), unknown.argv()));
    QCOMPARE(window.layout()->count(), 0);
}

void TestStartup::documentThatCannotBeBuilt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("No such file");
    QTest::newRow("no tag") << QByteArray("just text\n") << QStringLiteral("no element");
    QTest::newRow("only a declaration") << QByteArray("<?xml?>") << QStringLiteral("no element");
    QTest::newRow("unclosed") << QByteArray("<vlayout><label>x</label>") << QStringLiteral("never closed");
}

void TestStartup::documentThatCannotBeBuilt()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    const QByteArray path = text.isNull() ? QFile::encodeName(m_dir.filePath(QStringLiteral("absent.mc")))
                                          : writeFile(QStringLiteral("bad.mc"), text);
    Args args{"kiv", path};
    frmMain window;
    QString error;
    QVERIFY(!window.setupForm(args.argc(), args.argv(), &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(!window.layout());
    QVERIFY(window.findChildren<QWidget *>().isEmpty());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
