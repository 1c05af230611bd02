#include "FormFixture.h"
#include "shell/CommandRunner.h"
#include "widgets/MButton.h"

#include <QFile>
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
    QCOMPARE(form.click(), output);
    QCOMPARE(form.log2.toPlainText(), output);
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
    setOutputHandler(nullptr);
    QVERIFY(form.build("<f><button>echo x > ran</button></f>"));
    QSignalSpy clicked(form.find<MButton>(), &MButton::clicked);
    form.click();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(form.file("ran"), QStringLiteral("x\n"));
}

QTEST_MAIN(TestMButton)
#include "tst_mbutton.moc"
