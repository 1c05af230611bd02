#include "FormFixture.h"
#include "StopDeadline.h"
#include "shell/CommandRunner.h"
#include "widgets/MButton.h"
#include "widgets/MTextEdit.h"

#include <QFile>
#include <QGuiApplication>
#include <QApplication>
#include <QLineEdit>
#include <QWheelEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using kivtest::Form;

class TestMButton : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void configureAndClickOrder();
    void commandAndTitle_data();
    void commandAndTitle();
    void commandRunsAtEveryClickOnly();
    void worksWithoutOutputHandler();
    void aRunTakesNoInputAndEscapeStopsIt();
    void outputPastTheLimitIsCounted();
};

void TestMButton::configureAndClickOrder()
{
    Form form;
    MButton button;
    button.configure(std::nullopt, std::nullopt);
    QCOMPARE(button.pushButton()->text(), QStringLiteral("OK"));
    QCOMPARE(button.pushButton()->objectName(), QStringLiteral("pushButton"));
    QVERIFY(!button.command().isNull());
    QVERIFY(button.command().isEmpty());

    button.configure(QByteArray("Go"), QByteArray("printf out"));
    QStringList events;
    connect(&button, &MButton::outputEmit, this,
            [&](const QByteArray &out) { events << QString::fromUtf8("output:" + out); });
    connect(&button, &MButton::clicked, this, [&] { events << QStringLiteral("clicked"); });
    button.click();
    QVERIFY(events.isEmpty()); // no form, no command
    button.setSession(&form.session);
    button.click();
    QVERIFY(form.settle());
    QCOMPARE(events, QStringList({QStringLiteral("output:out"), QStringLiteral("clicked")}));
}

void TestMButton::commandAndTitle_data()
{
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("output");

    QTest::newRow("content wins over onclick")
        << QByteArray("<f><button title=\"Run\" onclick=\"echo click\">echo content</button></f>")
        << "Run" << "content\n";
    QTest::newRow("empty content falls back to onclick")
        << QByteArray("<f><button onclick=\"echo click\"></button></f>") << "OK" << "click\n";
    QTest::newRow("empty title falls back to text")
        << QByteArray("<f><button title=\"\" text=\"Go\" onclick=\"echo x\"/></f>") << "Go" << "x\n";
    QTest::newRow("title child element is run")
        << QByteArray("<f><button onclick=\"echo x\"><title>echo Made</title></button></f>") << "Made"
        << "x\n";
    QTest::newRow("code attribute is the command")
        << QByteArray("<f><button code=\"echo coded\"/></f>") << "OK" << "coded\n";
    QTest::newRow("no command empties the logs") << QByteArray("<f><button/></f>") << "OK" << "";
}

void TestMButton::commandAndTitle()
{
    QFETCH(QByteArray, mc);
    QFETCH(QString, title);
    QFETCH(QString, output);
    Form form;
    QVERIFY(form.build(mc));
    form.handler.outputGathered("old");
    QCOMPARE(form.find<MButton>()->pushButton()->text(), title);
    QSignalSpy shown(&form.handler, &MOHandler::outputEmit);
    QCOMPARE(form.click(), output);
    QCOMPARE(form.log2.toPlainText(), output);
    QCOMPARE(shown.count(), 1);
}

void TestMButton::commandRunsAtEveryClickOnly()
{
    Form form;
    QVERIFY(form.build("<f><button>echo run >> count; cat count | wc -l</button></f>"));
    QVERIFY(!QFile::exists(form.dir.filePath(QStringLiteral("count"))));
    QCOMPARE(form.click(), QStringLiteral("1\n"));
    QCOMPARE(form.click(), QStringLiteral("2\n"));
}

void TestMButton::worksWithoutOutputHandler()
{
    Form form;
    QVERIFY(form.build("<f><button>echo x > ran</button></f>"));
    QSignalSpy clicked(form.find<MButton>(), &MButton::clicked);
    form.click();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(form.file("ran"), QStringLiteral("x\n"));
}

void TestMButton::aRunTakesNoInputAndEscapeStopsIt()
{
    Form form;
    QVERIFY(form.build("<f><button>echo run >> runs; sleep 100 & k=$!; printf 'line\\n%.0s' $(seq 200); "
                       "echo started; echo $k > child; sleep 100</button><text var=\"T\"/><textlog height=\"60\"/></f>"));
    MButton *button = form.find<MButton>();
    QLineEdit *edit = form.find<MTextEdit>()->lineEdit();
    TextLogView *log = form.find<TextLogView>();
    const QByteArray printed = QByteArray("line\n").repeated(200) + "started\n";
    QByteArray streamed;
    QStringList events;
    connect(&form.handler, &MOHandler::outputAppended, this, [&](const QByteArray &piece) {
        if (streamed.isEmpty())
            events << QStringLiteral("pieces");
        streamed += piece;
    });
    connect(&form.handler, &MOHandler::outputEnded, this, [&] { events << QStringLiteral("ended"); });
    connect(button, &MButton::outputEmit, this,
            [&](const QByteArray &out) { events << QString::fromUtf8("output:" + out); });
    connect(button, &MButton::clicked, this, [&] { events << QStringLiteral("clicked"); });

    kivtest::StopDeadline deadline;
    kivtest::whileRunning(form.session, [&] {
        QTRY_VERIFY(QFile::exists(form.dir.filePath(QStringLiteral("child"))));
        deadline.watchGroupOf(kivtest::readPid(form.dir.filePath(QStringLiteral("child"))));
        // The output reaches the handler while the command runs.
        QTRY_COMPARE(streamed, printed);
        // ...and shows in the text logs before the command ends.
        QTRY_COMPARE(form.log1.toPlainText(), QString::fromUtf8(printed));
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QTest::mouseClick(button->pushButton(), Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("zz"));
        // A text log can still be scrolled: up, away from the end it follows.
        QTRY_VERIFY(log->visibleText().contains(QStringLiteral("started")));
        QWheelEvent wheel(QPointF(5, 5), log->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(log->viewport(), &wheel);
        QVERIFY(!log->followsEnd());
        QTest::keyClick(button->pushButton(), Qt::Key_Escape);
    });
    QTest::mouseClick(button->pushButton(), Qt::LeftButton);
    QVERIFY(form.settle());
    KIV_VERIFY_STOPPED_IN_TIME(deadline);

    QCOMPARE(events, QStringList({QStringLiteral("pieces"), QStringLiteral("ended"),
                                  QString::fromUtf8("output:" + printed), QStringLiteral("clicked")}));
    QCOMPARE(form.file("runs"), QStringLiteral("run\n"));
    QCOMPARE(edit->text(), QString());
    QCOMPARE(form.var(0), QByteArray());
    // The log says that the output was cut short; the emitted output does not.
    QCOMPARE(form.log1.toPlainText(), QString::fromUtf8(printed) + QStringLiteral("[stopped]"));
    QVERIFY(!QGuiApplication::overrideCursor());
    QTRY_VERIFY_WITH_TIMEOUT(!kivtest::processAlive(kivtest::readPid(form.dir.filePath(QStringLiteral("child")))),
                             30000);
    // Nothing was queued to be replayed: the form answers as before.
    QTest::keyClicks(edit, QStringLiteral("ok"));
    QCOMPARE(form.var(0), QByteArray("ok"));
}

void TestMButton::outputPastTheLimitIsCounted()
{
    Form form;
    QVERIFY(form.build("<f><button>printf 0123456789</button></f>"));
    form.session.runner().setOutputLimit(4);
    QSignalSpy ended(&form.handler, &MOHandler::outputEnded);
    const QString shown = form.click();
    QCOMPARE(shown, QStringLiteral("0123\n[kiv: 6 more bytes of output left out]"));
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.at(0).at(0).toLongLong(), 6);
}

QTEST_MAIN(TestMButton)
#include "tst_mbutton.moc"
