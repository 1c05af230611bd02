#include "FormFixture.h"
#include "StopDeadline.h"
#include "markup/LosslessText.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QDir>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Descriptors of this process that a child inherits.
QSet<int> inheritedDescriptors()
{
    QSet<int> fds;
    for (const QString &name : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries)) {
        const int fd = name.toInt();
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC))
            fds << fd;
    }
    return fds;
}

} // namespace

using kivtest::processAlive;
using kivtest::readPid;

class TestShell : public QObject
{
    Q_OBJECT
    MEnvVar *store = nullptr;
    std::unique_ptr<CommandRunner> runner;

private Q_SLOTS:
    void init()
    {
        store = new MEnvVar;
        runner = std::make_unique<CommandRunner>(store);
    }
    void cleanup()
    {
        runner.reset();
        delete store;
    }

    void shouldHandOutIndexesInOrderAndIgnoreBadUpdates()
    {
        QCOMPARE(store->exportAssignments(), QByteArray());
        QCOMPARE(store->addVariable("A", "x"), 0);
        QCOMPARE(store->addVariable("A", "y"), 1);
        store->updateVal(-1, QStringLiteral("no"));
        store->updateVal(2, QStringLiteral("no"));
        store->updateVal(0, QStringLiteral(""));
        QCOMPARE(store->exportAssignments(), QByteArray("A=''\nA='y'\n"));
    }

    void shouldWriteTheScriptByteForByte()
    {
        store->addVariable("A", "x");
        store->addVariable("B", "");
        QCOMPARE(scriptText(store, "echo $A\necho two"),
                 QByteArray("#!/bin/bash\nA='x'\nB=''\n\necho $A\necho two\n"));
        QCOMPARE(runner->run(QByteArray("echo $A")), QByteArray("x\n"));
    }

    void shouldPassHostileValuesAsData_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("double quote") << QStringLiteral("a\"b");
        QTest::newRow("injection") << QStringLiteral("\"; touch HACKED; echo \"");
        QTest::newRow("dollar") << QStringLiteral("$HOME $(id) ${x}");
        QTest::newRow("backquote") << QStringLiteral("`id`");
        QTest::newRow("backslash") << QStringLiteral("a\\b\\");
        QTest::newRow("single quotes") << QStringLiteral("it's '' ok'");
        QTest::newRow("newline") << QStringLiteral("line1\nline2\n");
        QTest::newRow("utf-8") << QStringLiteral("città €");
        QTest::newRow("empty") << QString();
    }
    void shouldPassHostileValuesAsData()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const int i = store->addVariable("NAME", "");
        store->updateVal(i, value);
        const QByteArray out = runner->run(QByteArray("printf '%s' \"$NAME\""));
        QDir::setCurrent(old);
        QCOMPARE(QString::fromUtf8(out), value);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("HACKED"))));
    }

    void shouldLeaveOutNamesTheShellCannotTake()
    {
        store->addVariable("GOOD", "1");
        store->addVariable("a b", "x");
        store->addVariable("PATH=/x;", "y");
        store->addVariable("9lives", "z");
        store->addVariable("_ok9", "2");
        QCOMPARE(store->exportAssignments(), QByteArray("GOOD='1'\n_ok9='2'\n"));
        // The later of two equal names decides what the command sees.
        store->addVariable("GOOD", "later");
        QCOMPARE(runner->run(QByteArray("echo $GOOD$_ok9")), QByteArray("later2\n"));
    }

    void shouldTellNullFromEmptyCommands()
    {
        QVERIFY(!runner->run(OptText()));
        const OptText empty = runner->run(OptText(QByteArray("")));
        QVERIFY(empty && empty->isEmpty());
        QCOMPARE(runner->run(QByteArray("true")), QByteArray(""));
    }

    void shouldKeepCwdStderrAndFullOutput()
    {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QByteArray out = runner->run(QByteArray("pwd; echo err >&2; head -c 300000 /dev/zero | tr '\\0' y"));
        QDir::setCurrent(old);
        QVERIFY(out.startsWith(QByteArray(QFile::encodeName(QDir(dir.path()).canonicalPath()) + '\n')));
        QCOMPARE(out.mid(out.indexOf('\n') + 1), QByteArray(300000, 'y'));
        QVERIFY(!out.contains("err"));
        // Nothing is left behind in the working directory.
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).size(), 0);
    }

    // Wherever the script is held, bash reads it through a path while nothing of it
    // is on disk or open in the command, and the command leads a group of its own.
    void shouldRunFromAPrivateScriptInAGroupOfItsOwn_data()
    {
        QTest::addColumn<bool>("memoryFile");
        QTest::addColumn<bool>("processFd");
        QTest::addColumn<QByteArray>("tmpdir");
        QTest::newRow("memory file") << true << true << QByteArray();
        QTest::newRow("memory file, TMPDIR missing") << true << true << QByteArray("/nonexistent/kiv-test");
        QTest::newRow("nameless file") << false << true << QByteArray();
        QTest::newRow("nameless file, TMPDIR missing") << false << true << QByteArray("/nonexistent/kiv-test");
        QTest::newRow("end polled") << true << false << QByteArray();
    }
    void shouldRunFromAPrivateScriptInAGroupOfItsOwn()
    {
        QFETCH(bool, memoryFile);
        QFETCH(bool, processFd);
        QFETCH(QByteArray, tmpdir);
        QTemporaryDir tmp;
        qputenv("TMPDIR", tmpdir.isEmpty() ? QFile::encodeName(tmp.path()) : tmpdir);
        runner->setMemoryFileAllowed(memoryFile);
        runner->setProcessFdAllowed(processFd);
        const QByteArray out = runner->run(QByteArray(
            "echo \"$0\"; head -1 \"$0\"; stat -L -c %a \"$0\"; ls -A \"$TMPDIR\" 2>/dev/null | wc -l\n"
            "read -r _ _ _ _ group _ < /proc/$$/stat; [ \"$group\" = $$ ] && echo own group\n"
            "ls /proc/$$/fd; exit 3"));
        qunsetenv("TMPDIR");

        QList<QByteArray> lines = out.trimmed().split('\n');
        QVERIFY2(lines.size() > 5, out.constData());
        QVERIFY(lines[0].startsWith(QByteArray("/proc/" + QByteArray::number(QCoreApplication::applicationPid()) + "/fd/")));
        QCOMPARE(lines.mid(1, 4), QList<QByteArray>({"#!/bin/bash", "600", "0", "own group"}));
        // Only what kiv itself inherited, the output pipe and bash's own hold on the script.
        QSet<int> expected = inheritedDescriptors();
        expected << STDOUT_FILENO << 255;
        QSet<int> seen;
        for (const QByteArray &fd : lines.mid(5))
            seen << fd.toInt();
        QCOMPARE(seen, expected);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).size(), 0);
    }

    // A refusal, a running command or a limit of one form's runner holds nothing
    // back in another's.
    void shouldKeepEachRunnersStateItsOwn_data()
    {
        QTest::addColumn<QByteArray>("state");
        QTest::newRow("refused") << QByteArray("refused");
        QTest::newRow("running") << QByteArray("running");
        QTest::newRow("limit") << QByteArray("limit");
    }
    void shouldKeepEachRunnersStateItsOwn()
    {
        QFETCH(QByteArray, state);
        CommandRunner other;
        runner->refuse(state == "refused");
        runner->setOutputLimit(state == "limit" ? 1 : 100);
        CommandResult own;
        QByteArray theirs;
        const auto tryBoth = [&] {
            own = runner->runLive("printf own", {}, true);
            theirs = other.run(QByteArray("printf other"));
        };
        if (state == "running") {
            QTimer::singleShot(0, this, [&] {
                tryBoth();
                runner->stopRunning();
            });
            runner->run(QByteArray("sleep 100"));
        } else {
            tryBoth();
        }
        QCOMPARE(theirs, QByteArray("other"));
        QCOMPARE(own.ran, state == "limit");
        QCOMPARE(own.output, QByteArray(state == "limit" ? "o" : ""));
        QVERIFY(!runner->running() && !other.running());
    }

    // A stop reaches every process of the command's group, stopped or stubborn,
    // and nothing outside it; the output that arrived stays.
    void shouldStopTheWholeGroupAndNothingElse_data()
    {
        QTest::addColumn<QByteArray>("command");
        // "child" is written last: once it exists, "started" is on its way.
        QTest::newRow("background job") << QByteArray("sleep 100 & k=$!; echo started; echo $k > child; sleep 100");
        QTest::newRow("ignores SIGTERM") << QByteArray(
            "trap '' TERM; sleep 100 & k=$!; echo started; echo $k > child; while :; do sleep 0.1; done");
        QTest::newRow("stopped") << QByteArray("sleep 100 & k=$!; echo started; echo $k > child; kill -STOP $$");
        // Its standard error is not the test's: ctest would wait for it.
        QTest::newRow("a job that left the group holds the output") << QByteArray(
            "setsid sleep 100 2>/dev/null & echo $! > escaped; sleep 100 & k=$!; echo started; echo $k > child; wait");
    }
    void shouldStopTheWholeGroupAndNothingElse()
    {
        QFETCH(QByteArray, command);
        QTemporaryDir dir;
        const QString home = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QProcess bystander;
        bystander.start(QStringLiteral("sleep"), {QStringLiteral("100")});
        QVERIFY(bystander.waitForStarted());
        kivtest::StopDeadline deadline;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("child"))));
            deadline.watchGroupOf(readPid(dir.filePath(QStringLiteral("child"))));
            deadline.watchProcess(readPid(dir.filePath(QStringLiteral("escaped"))));
            QVERIFY(runner->running());
            runner->stopRunning();
        });
        const QByteArray out = runner->run(command);
        QDir::setCurrent(home);
        KIV_VERIFY_STOPPED_IN_TIME(deadline);
        QCOMPARE(out, QByteArray("started\n"));
        QVERIFY(!runner->running());
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(readPid(dir.filePath(QStringLiteral("child")))), 30000);
        QCOMPARE(bystander.state(), QProcess::Running);
        bystander.kill();
        bystander.waitForFinished();
    }

    void shouldKeepEveryByteThroughText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ascii and utf-8") << QByteArray("a \xc3\xa0 \xe2\x82\xac \xf0\x9f\x98\x80")
                                         << QString::fromUtf8("a à € 😀");
        QTest::newRow("latin-1 name") << QByteArray("caf\xe9.txt") << QStringLiteral("caf\uF7E9.txt");
        QTest::newRow("lone continuation") << QByteArray("\x80x") << QStringLiteral("\uF780x");
        QTest::newRow("cut sequence") << QByteArray("\xe2\x82") << QStringLiteral("\uF7E2\uF782");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QStringLiteral("\uF7C0\uF7AF");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << QStringLiteral("\uF7ED\uF7A0\uF780");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << QStringLiteral("\uF7F4\uF790\uF780\uF780");
        QTest::newRow("escape char as utf-8") << QByteArray("\xef\x9e\x80") << QStringLiteral("\uF7EF\uF79E\uF780");
        QTest::newRow("private use below escapes") << QByteArray("\xef\x9c\x80") << QStringLiteral("\uF700");
        QTest::newRow("bom after escape") << QByteArray("\xff\xef\xbb\xbf") << QStringLiteral("\uF7FF\uFEFF");
        QTest::newRow("bom kept") << QByteArray("\xef\xbb\xbfx") << QStringLiteral("\uFEFFx");
        QTest::newRow("nul kept") << QByteArray("a\0b", 3) << QString(QStringLiteral("a_b")).replace(u'_', QChar(0));
        QTest::newRow("empty") << QByteArray("") << QString();
    }
    void shouldKeepEveryByteThroughText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(textFromBytes(bytes), shown);
        QCOMPARE(bytesFromText(textFromBytes(bytes)), bytes);
        // Output read in pieces decodes the same wherever it is cut.
        for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
            LosslessDecoder decoder;
            QString pieces = decoder.decode(QByteArrayView(bytes).first(cut));
            pieces += decoder.decode(QByteArrayView(bytes).sliced(cut));
            pieces += decoder.finish();
            QCOMPARE(pieces, shown);
        }
        // The variable store keeps the bytes a widget was given.
        const int i = store->addVariable("V", "");
        store->updateVal(i, textFromBytes(bytes));
        QCOMPARE(store->valueOf(i), bytes);
    }

    void shouldBroadcastEachOutputReplacingTheLast()
    {
        MOHandler handler;
        QSignalSpy spy(&handler, &MOHandler::outputEmit);
        handler.outputGathered(QByteArray("first\n"));
        handler.outputGathered(QByteArray("città\n"));
        handler.outputGathered(QByteArray());
        handler.outputGathered(QByteArray("a\0b\xff", 4));
        QCOMPARE(spy.size(), 4);
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("città\n"));
        QVERIFY(spy.at(2).at(0).toString().isEmpty());
        QCOMPARE(spy.at(3).at(0).toString(), QStringLiteral("a\uFFFDb\uF7FF"));
        QCOMPARE(handler.lastOutput(), QByteArray("a\0b\xff", 4));
    }
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
