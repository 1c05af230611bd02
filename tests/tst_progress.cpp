// Progress bars fed by a command's output, and the Stop shown while a command runs.
#include "FormFixture.h"
#include "StopDeadline.h"
#include "shell/BusyState.h"
#include "shell/RunningBar.h"
#include "builder/ProgressBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

using kivtest::Form;

class TestProgress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void linesSetTheBars_data()
    {
        QTest::addColumn<QByteArray>("progress"); // the progress element; empty: none
        QTest::addColumn<QByteArrayList>("commands"); // one button each, clicked in turn
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");

        const QByteArray bar("<progress/>");
        QTest::newRow("last number wins") << bar << QByteArrayList{"echo 10; echo 50"} << 50 << "50%";
        QTest::newRow("blanks and percent sign")
            << bar << QByteArrayList{"printf ' 42%%\\t\\r\\n'"} << 42 << "42%";
        QTest::newRow("above range clamped") << bar << QByteArrayList{"echo 250"} << 100 << "100%";
        QTest::newRow("below range clamped") << bar << QByteArrayList{"echo 20; echo -5"} << 0 << "0%";
        QTest::newRow("hash line sets the text")
            << bar << QByteArrayList{"echo 30; echo '# Copying 50%p'"} << 30 << "Copying 50%p";
        QTest::newRow("text before any number")
            << bar << QByteArrayList{"echo '# Counting'"} << 0 << "Counting";
        QTest::newRow("other lines ignored")
            << bar << QByteArrayList{"echo 60; echo '5 files'; echo 7.5; echo '#no'; printf 70"} << 60 << "60%";
        QTest::newRow("no number keeps the idle text")
            << QByteArray("<progress text=\"Waiting\"/>") << QByteArrayList{"echo hello"} << 0 << "Waiting";
        QTest::newRow("idle text is evaluated")
            << QByteArray("<progress><text>echo Idle</text></progress>") << QByteArrayList{"true"} << 0 << "Idle";
        QTest::newRow("next command starts afresh")
            << QByteArray("<progress text=\"Ready\"/>") << QByteArrayList{"echo 70; echo '# half'", "echo done"}
            << 0 << "Ready";
        QTest::newRow("next command's number")
            << bar << QByteArrayList{"echo '# a'; echo 90", "echo 15"} << 15 << "15%";
    }

    void linesSetTheBars()
    {
        QFETCH(QByteArray, progress);
        QFETCH(QByteArrayList, commands);
        QFETCH(int, value);
        QFETCH(QString, text);
        QByteArray mc = "<f>" + progress + progress;
        for (const QByteArray &command : commands)
            mc += "<button>" + command + "</button>";
        Form form;
        QVERIFY(form.build(mc + "</f>"));
        for (int i = 0; i < commands.size(); ++i)
            form.click(i);
        for (int i = 0; i < 2; ++i) {
            const ProgressBarView *shown = form.find<ProgressBarView>(i);
            QVERIFY(shown);
            QCOMPARE(shown->maximum(), 100);
            QCOMPARE(shown->value(), value);
            QCOMPARE(shown->text(), text);
        }
        QCOMPARE(form.find<ProgressBarView>()->accessibleName(), QStringLiteral("Progress"));
    }

    void formWithoutBarKeepsEveryLine()
    {
        Form form;
        QVERIFY(form.build("<f><button>echo 50; echo '# note'</button></f>"));
        QSignalSpy set(&form.handler, &MOHandler::progressChanged);
        QCOMPARE(form.click(), QStringLiteral("50\n# note\n"));
        QVERIFY(!form.handler.progressLines());
        QCOMPARE(set.count(), 0);
    }

    // While the command runs: busy until its first number, then that number.
    void busyUntilTheFirstNumber()
    {
        Form form;
        QVERIFY(form.build("<f><progress/><button>echo '# Start'; until [ -e go ]; do sleep 0.05; done; "
                           "echo 35; until [ -e end ]; do sleep 0.05; done</button></f>"));
        ProgressBarView *bar = form.find<ProgressBarView>();
        kivtest::whileRunning(form.session, [&] {
            QTRY_COMPARE(bar->text(), QStringLiteral("Start"));
            QCOMPARE(bar->maximum(), 0);
            QFile(form.dir.filePath(QStringLiteral("go"))).open(QIODevice::WriteOnly);
            QTRY_COMPARE(bar->maximum(), 100);
            QCOMPARE(bar->value(), 35);
            QFile(form.dir.filePath(QStringLiteral("end"))).open(QIODevice::WriteOnly);
        });
        form.click();
        QCOMPARE(bar->value(), 35);
    }

    // The Stop ends the command and its children; it shows only during the run.
    void stopEndsTheRun_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("mouse click") << 0;
        QTest::newRow("Space") << 1;
        QTest::newRow("Return") << 2;
    }

    void stopEndsTheRun()
    {
        QFETCH(int, how);
        Form form;
        QVERIFY(form.build("<f><button>sleep 100 & echo $! > child; sleep 100</button><text var=\"T\"/></f>"));
        form.session.setBarWindow(&form.window);
        RunningBar *running = nullptr;
        QPushButton *stop = nullptr;
        QSignalSpy stopped(&form.handler, &MOHandler::outputStopped);
        QLineEdit *edit = form.window.findChild<QLineEdit *>();
        pid_t child = 0;
        kivtest::StopDeadline deadline;
        kivtest::whileRunning(form.session, [&] {
            QTRY_VERIFY(QFile::exists(form.dir.filePath(QStringLiteral("child"))));
            running = form.window.findChild<RunningBar *>();
            QVERIFY(running);
            stop = running->stopButton();
            QTRY_VERIFY(stop->isVisible());
            QVERIFY(running->findChild<QLabel *>(QStringLiteral("runningTime"))->text().startsWith(
                QStringLiteral("Running")));
            // Only the Stop takes input.
            QTest::mouseClick(edit, Qt::LeftButton);
            QTest::keyClicks(edit, QStringLiteral("x"));
            child = kivtest::readPid(form.dir.filePath(QStringLiteral("child")));
            deadline.watchGroupOf(child);
            if (how == 0) {
                QTest::mouseClick(stop, Qt::LeftButton);
            } else {
                // Tab leads to the Stop, whatever has the focus.
                QTest::keyClick(form.window.focusWidget(), Qt::Key_Tab);
                QCOMPARE(form.window.focusWidget(), stop);
                QTest::keyClick(stop, how == 1 ? Qt::Key_Space : Qt::Key_Return);
            }
            QTRY_VERIFY_WITH_TIMEOUT(!kivtest::processAlive(child), 30000);
        });
        form.click();
        KIV_VERIFY_STOPPED_IN_TIME(deadline);
        QVERIFY(child > 0 && stop);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(stopped.at(0).at(0).toBool(), false);
        QVERIFY(!stop->isVisible());
        QCOMPARE(form.var(0), QByteArray());
        // The focus is back where the run began.
        QCOMPARE(form.window.focusWidget(), form.find<MButton>()->pushButton());
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
