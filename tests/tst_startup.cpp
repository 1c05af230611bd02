#include "app/LauncherScreen.h"
#include "app/NoticeScreen.h"
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

// An argument vector that setupForm can be given like main's.
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

QStringList labelTexts(const QWidget *window)
{
    QStringList out;
    for (const QLabel *label : window->findChildren<QLabel *>())
        out << label->text();
    return out;
}

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
    void unknownRootGivesEmptyWindow();
    void windowReleasesItsStore();

private:
    QByteArray writeFile(const QByteArray &name, const QByteArray &text);
    QTemporaryDir m_dir;
};

void TestStartup::init()
{
    QVERIFY(m_dir.isValid());
}

QByteArray TestStartup::writeFile(const QByteArray &name, const QByteArray &text)
{
    QFile file(m_dir.filePath(QString::fromUtf8(name)));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text);
    return QFile::encodeName(file.fileName());
}

void TestStartup::modeChoice()
{
    QCOMPARE(chooseMode(0, nullptr), StartMode::Launcher);
    Args none{"kiv"};
    QCOMPARE(chooseMode(none.argc(), none.argv()), StartMode::Launcher);
    char *nullSecond[] = {none.argv()[0], nullptr};
    QCOMPARE(chooseMode(2, nullSecond), StartMode::Launcher);

    Args show{"kiv", "-show"};
    QCOMPARE(chooseMode(show.argc(), show.argv()), StartMode::Notice);
    Args showMore{"kiv", "-show", "a", "b", "c"};
    QCOMPARE(chooseMode(showMore.argc(), showMore.argv()), StartMode::Notice);
    for (const QByteArray &name : {QByteArray("-showx"), QByteArray("-sho"), QByteArray("-SHOW"),
                                   QByteArray("show"), QByteArray("form.mc"), QByteArray("")}) {
        Args a{"kiv", name};
        QVERIFY2(chooseMode(a.argc(), a.argv()) == StartMode::Document, name.constData());
    }
}

void TestStartup::informationOptions()
{
    Args help{"kiv", "--help"};
    const auto usage = informationRequest(help.argc(), help.argv());
    QVERIFY(usage);
    for (const char *word : {"kiv FILE.mc", "-show", "scrolllayout", "iconlist", "config", "--version"})
        QVERIFY2(usage->contains(word), word);
    Args version{"kiv", "--version"};
    QCOMPARE(informationRequest(version.argc(), version.argv()), std::optional(QByteArray("kiv " KIV_VERSION "\n")));
    for (const QByteArray &other : {QByteArray("--helpme"), QByteArray("-show"), QByteArray("-help")}) {
        Args a{"kiv", other, "--help"};
        QVERIFY(!informationRequest(a.argc(), a.argv()));
    }
    QVERIFY(!informationRequest(0, nullptr));
}

void TestStartup::documentMode()
{
    const QByteArray log = QFile::encodeName(m_dir.filePath(QStringLiteral("log")));
    const QByteArray path = writeFile("my form.mc",
        "<?xml version=\"1.0\"?>\n<vlayout><tab title=\"t\"/>\n"
        "<label>echo run >> '" + log + "'; echo \"$KIV_MY_PID\"</label></vlayout>\n");
    // Whatever a previous document left pending belongs to that document.
    auto *stale = new QTabWidget;
    setPendingTabWidget(stale);

    Args args{"kiv", path, "ignored", "-show"};
    frmMain window;
    QString error = QStringLiteral("untouched");
    QVERIFY(window.setupForm(args.argc(), args.argv(), &error));
    QCOMPARE(error, QStringLiteral("untouched"));
    QVERIFY(window.layout());
    QCOMPARE(labelTexts(&window), QStringList{QString::number(QCoreApplication::applicationPid())});
    QFile ran(QFile::decodeName(log));
    QVERIFY(ran.open(QIODevice::ReadOnly));
    QCOMPARE(ran.readAll(), QByteArray("run\n"));
    QCOMPARE(stale->count(), 0);
    QCOMPARE(window.findChildren<QTabWidget *>().size(), 1);

    MEnvVar *store = variableStore();
    QVERIFY(store);
    QCOMPARE(runnerStore(), store);
    QVERIFY(outputHandler());
    QCOMPARE(store->name(0), QByteArray("KIV_MY_PID"));
    delete stale;
}

void TestStartup::documentThatCannotBeBuilt_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << QByteArray() << QStringLiteral("No such file");
    QTest::newRow("no tag") << QByteArray("plain.mc") << QByteArray("just text\n") << QStringLiteral("no element");
    QTest::newRow("only a declaration") << QByteArray("decl.mc") << QByteArray("<?xml?>") << QStringLiteral("no element");
    QTest::newRow("unclosed") << QByteArray("open.mc") << QByteArray("<vlayout><label>x</label>")
                              << QStringLiteral("never closed");
}

void TestStartup::documentThatCannotBeBuilt()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    const QByteArray path = name.isEmpty() ? QFile::encodeName(m_dir.filePath(QStringLiteral("absent.mc")))
                                           : writeFile(name, text);
    Args args{"kiv", path};
    frmMain window;
    QString error;
    QVERIFY(!window.setupForm(args.argc(), args.argv(), &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(!window.layout());
    QVERIFY(window.findChildren<QWidget *>().isEmpty());
}

void TestStartup::unknownRootGivesEmptyWindow()
{
    const QByteArray path = writeFile("unknown.mc", "<Vlayout><label>echo never</label></Vlayout>");
    Args args{"kiv", path};
    frmMain window;
    QVERIFY(window.setupForm(args.argc(), args.argv()));
    QVERIFY(window.layout());
    QCOMPARE(window.layout()->count(), 0);
}

void TestStartup::windowReleasesItsStore()
{
    const QByteArray path = writeFile("small.mc", "<label text=\"x\"/>");
    Args args{"kiv", path};
    {
        frmMain window;
        QVERIFY(window.setupForm(args.argc(), args.argv()));
        QVERIFY(variableStore());
    }
    QVERIFY(!variableStore());
    QVERIFY(!runnerStore());
    QVERIFY(!outputHandler());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
