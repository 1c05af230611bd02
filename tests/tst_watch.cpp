// A watched form follows its file: every kind of save rebuilds it in the same
// window, a save with errors keeps it under the findings bar, and a command that
// runs at that moment is stopped first.
#include "app/CommandLine.h"
#include "app/FindingsBar.h"
#include "app/FormFileWatch.h"
#include "app/FormResults.h"
#include "app/frmMain.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>

namespace {

constexpr int kWait = 30000;

enum class Save { InPlace, RenamedOver, DeletedAndWritten, Burst };

bool put(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

bool save(const QString &path, const QByteArray &text, Save how)
{
    switch (how) {
    case Save::InPlace:
        return put(path, text);
    case Save::RenamedOver:
    {
        const QString fresh = path + QStringLiteral(".new");
        return put(fresh, text)
            && std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) == 0;
    }
    case Save::DeletedAndWritten:
        return QFile::remove(path) && put(path, text);
    case Save::Burst:
        // Written piece by piece, as some editors do: one rebuild, from the end.
        for (int i = 1; i < 5; ++i)
            if (!put(path, text.left(text.size() * i / 5)))
                return false;
        return put(path, text);
    }
    return false;
}

int lineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

} // namespace

class TestWatch : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(m_dir->path()));
        m_path = m_dir->filePath(QStringLiteral("f.mc"));
        m_log = m_dir->filePath(QStringLiteral("builds"));
        QVERIFY(put(m_path, form("A", "first")));
        m_window.reset(new frmMain);
        QVERIFY(m_window->openForm(QFile::encodeName(m_path)));
        m_window->watchForm(QFile::encodeName(m_path));
        m_window->show();
        QCOMPARE(lineCount(m_log), 1);
    }
    void cleanup() { m_window.reset(); }

    void commandLine_data();
    void commandLine();
    void saves_data();
    void saves();
    void errorsKeepTheFormUntilFixed();
    void runningCommandIsStoppedFirst();
    void nameThatIsNotUtf8();

private:
    // A form whose label tells each build in the log.
    QByteArray form(const char *title, const char *text) const
    {
        return QByteArray("<vlayout title=\"") + title + "\">\n<label>echo x >> builds; echo " + text
               + "</label>\n<text var=\"T\" text=\"" + text + "\"/>\n</vlayout>\n";
    }
    QString label() const
    {
        const auto labels = m_window->findChildren<QLabel *>();
        return labels.isEmpty() ? QString() : labels.front()->text();
    }
    bool barShown() const { return m_window->findingsBar() && m_window->findingsBar()->isVisible(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmMain> m_window;
    QString m_path, m_log;
};

void TestWatch::commandLine_data()
{
    QTest::addColumn<QByteArrayList>("args");
    QTest::addColumn<bool>("watch");
    QTest::addColumn<QByteArray>("error"); // empty: a form is opened
    QTest::newRow("before the file") << QByteArrayList{"--watch", "f.mc"} << true << QByteArray();
    QTest::newRow("after it, with values") << QByteArrayList{"f.mc", "--print-values", "--watch"} << true << QByteArray();
    QTest::newRow("a file named -") << QByteArrayList{"--watch", "--", "-"} << true << QByteArray();
    QTest::newRow("without") << QByteArrayList{"f.mc"} << false << QByteArray();
    QTest::newRow("standard input") << QByteArrayList{"--watch", "-"} << false << QByteArray("standard input");
    QTest::newRow("no file") << QByteArrayList{"--watch"} << false << QByteArray("--watch needs an mc file");
    QTest::newRow("a notice") << QByteArrayList{"--watch", "-show", "x"} << false << QByteArray("needs an mc file");
    QTest::newRow("with --check") << QByteArrayList{"--check", "--watch", "f.mc"} << false << QByteArray("do not go together");
    QTest::newRow("mistyped") << QByteArrayList{"--wach", "f.mc"} << false << QByteArray("did you mean '--watch'");
}

void TestWatch::commandLine()
{
    QFETCH(QByteArrayList, args);
    QFETCH(bool, watch);
    QFETCH(QByteArray, error);
    args.prepend("kiv");
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const CommandLine line = parseCommandLine(int(args.size()), argv.data(), false);
    if (!error.isEmpty()) {
        QCOMPARE(int(line.action), int(CommandLine::UsageError));
        QVERIFY2(line.error.contains(error), line.error.constData());
        return;
    }
    QCOMPARE(int(line.action), int(CommandLine::Run));
    QCOMPARE(int(line.screen), int(CommandLine::Form));
    QCOMPARE(line.watch, watch);
}

void TestWatch::saves_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<QByteArray>("extra"); // appended to the new form's text
    QTest::newRow("in place") << int(Save::InPlace) << QByteArray();
    QTest::newRow("renamed over") << int(Save::RenamedOver) << QByteArray();
    QTest::newRow("deleted and written again") << int(Save::DeletedAndWritten) << QByteArray();
    QTest::newRow("a burst of writes") << int(Save::Burst) << QByteArray();
    // Warnings alone never block the rebuild.
    QTest::newRow("with a warning") << int(Save::InPlace) << QByteArray("<label text=\"late\" colour=\"red\"/>\n");
}

void TestWatch::saves()
{
    QFETCH(int, how);
    QFETCH(QByteArray, extra);
    const QPointer<QLabel> before = m_window->findChild<QLabel *>();
    const WId id = m_window->winId();
    const QRect place = m_window->geometry();
    QVERIFY(save(m_path, form("B", "second") + extra, Save(how)));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(), QStringLiteral("B"), kWait);
    QCOMPARE(label(), QStringLiteral("second"));
    QVERIFY(!before);
    QCOMPARE(m_window->winId(), id);
    QCOMPARE(m_window->geometry().topLeft(), place.topLeft());
    QVERIFY(!barShown());
    QVERIFY(valueAssignments(m_window->session()->store()).contains("T='second'"));
    // One build per save, and a save of the same bytes builds nothing: the next
    // save is the only one to count.
    QVERIFY(save(m_path, form("B", "second") + extra, Save::InPlace));
    QVERIFY(save(m_path, form("C", "third"), Save::InPlace));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(), QStringLiteral("C"), kWait);
    QCOMPARE(lineCount(m_log), 3);
    // The old forms leave nothing behind in the window.
    const int children = m_window->children().size();
    QVERIFY(save(m_path, form("D", "fourth"), Save(how)));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(), QStringLiteral("D"), kWait);
    QCOMPARE(m_window->children().size(), children);
}

void TestWatch::errorsKeepTheFormUntilFixed()
{
    struct Broken
    {
        QByteArray text;
        QString finding;
    };
    const Broken broken[] = {
        {"<vlayout title=\"X\">\n<label text=\"x\"/>\n", QStringLiteral("f.mc:1:1: error: <vlayout> is never closed")},
        {"no tags at all\n", QStringLiteral("f.mc:1:1: error: no element found")},
        {"<vlayout title=\"X\">\n<label text=\"x>\n</vlayout>\n", QStringLiteral("f.mc:2:")},
    };
    int built = 1;
    for (const Broken &b : broken) {
        QVERIFY(save(m_path, b.text, Save::RenamedOver));
        QTRY_VERIFY_WITH_TIMEOUT(barShown(), kWait);
        QVERIFY2(m_window->findingsBar()->findings().contains(b.finding), qPrintable(m_window->findingsBar()->findings()));
        QCOMPARE(m_window->windowTitle(), built == 1 ? QStringLiteral("A") : QStringLiteral("fixed"));
        QCOMPARE(lineCount(m_log), built);
        // Selectable, but not a stop on the way through the form.
        auto *text = m_window->findingsBar()->findChild<QWidget *>(QStringLiteral("findingsText"));
        QVERIFY(!(text->focusPolicy() & Qt::TabFocus));
        QVERIFY(save(m_path, form("fixed", "fixed"), Save::InPlace));
        QTRY_VERIFY_WITH_TIMEOUT(!barShown(), kWait);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("fixed"));
        QCOMPARE(lineCount(m_log), ++built);
        // The next broken save differs from this good one.
        QVERIFY(save(m_path, form("fixed", "fixed") + " ", Save::InPlace));
        ++built;
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(m_log), built, kWait);
    }
}

void TestWatch::runningCommandIsStoppedFirst()
{
    QVERIFY(save(m_path, "<vlayout title=\"busy\"><button title=\"Wait\">sleep 120; echo >ran-out</button></vlayout>\n",
                 Save::InPlace));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(), QStringLiteral("busy"), kWait);
    QPushButton *button = m_window->findChild<QPushButton *>();
    QVERIFY(button);
    // The click waits for its command inside the event loop: the save comes
    // from a timer that sees the command running.
    const auto running = [&] { return m_window->session() && m_window->session()->runner().running(); };
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (running() && save(m_path, form("after", "after"), Save::InPlace))
            poll.stop();
    });
    poll.start(20);
    QTimer::singleShot(0, button, &QPushButton::click);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->windowTitle(), QStringLiteral("after"), kWait);
    QVERIFY(!running());
    QCOMPARE(label(), QStringLiteral("after"));
    // Stopped, not waited for.
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("ran-out"))));
}

void TestWatch::nameThatIsNotUtf8()
{
    // Qt's file names cannot hold it: the file is watched by its bytes.
    const QByteArray path = QFile::encodeName(m_dir->path()) + "/f\xe9.mc";
    const auto write = [&](const QByteArray &text) {
        std::FILE *file = std::fopen(path.constData(), "w");
        const bool ok = file && std::fwrite(text.constData(), 1, size_t(text.size()), file) == size_t(text.size());
        return file && std::fclose(file) == 0 && ok;
    };
    QVERIFY(write(form("A", "first")));
    frmMain window;
    QVERIFY(window.openForm(path));
    window.watchForm(path);
    QVERIFY(write(form("B", "second")));
    QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("B"), kWait);
}

QTEST_MAIN(TestWatch)
#include "tst_watch.moc"
