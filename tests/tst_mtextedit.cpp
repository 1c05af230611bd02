#include "FormFixture.h"
#include "widgets/MTextEdit.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using kivtest::Form;
using kivtest::typeText;

class TestMTextEdit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initialText_data();
    void initialText();
    void initialTextReportedEvenWhenUnchanged();
    void typingReachesCommands();
    void globalIsHiddenAndKeepsItsValue();
    void longValueKeptWhole();
};

void TestMTextEdit::initialText_data()
{
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("shown");

    QTest::newRow("command output") << QByteArray("<f><textbox var=\"V\">echo \" Word \"</textbox></f>")
                                    << "Word";
    QTest::newRow("text and textbox alike") << QByteArray("<f><text var=\"V\">echo Word</text></f>")
                                            << "Word";
    QTest::newRow("silent command falls back to text attribute")
        << QByteArray("<f><text var=\"V\" text=\"fallback\">true</text></f>") << "fallback";
    QTest::newRow("code attribute") << QByteArray("<f><text var=\"V\" code=\"echo coded\"/></f>") << "coded";
    QTest::newRow("nothing gives the empty text") << QByteArray("<f><text var=\"V\"/></f>") << "";
    QTest::newRow("utf-8 output") << QByteArray("<f><text var=\"V\">printf 'citt\xc3\xa0 \xe2\x82\xac'</text></f>")
                                  << QString::fromUtf8("città €");
}

void TestMTextEdit::initialText()
{
    QFETCH(QByteArray, mc);
    QFETCH(QString, shown);
    Form form;
    QVERIFY(form.build(mc));
    MTextEdit *box = form.find<MTextEdit>();
    QCOMPARE(box->lineEdit()->text(), shown);
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(box->varIndex(), 0);
    QCOMPARE(QString::fromUtf8(form.var(0)), shown);
}

void TestMTextEdit::initialTextReportedEvenWhenUnchanged()
{
    MTextEdit box;
    box.setVarIndex(3);
    QSignalSpy spy(&box, &MTextEdit::valueChanged);
    box.setInitialText(QByteArray(""));
    box.setInitialText(std::nullopt);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1), QVariantList({3, QString()}));
}

void TestMTextEdit::typingReachesCommands()
{
    Form form;
    QVERIFY(form.build("<f><text var=\"NAME\">echo start</text><button>printf '%s' \"$NAME\"</button></f>"));
    QLineEdit *edit = form.find<MTextEdit>()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("a"));
    QCOMPARE(form.var(0), QByteArray("a"));
    QCOMPARE(form.click(), QStringLiteral("a"));
    typeText(edit, QString::fromUtf8("b città €"));
    QCOMPARE(form.click(), QString::fromUtf8("ab città €"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(form.var(0), QByteArray("ab citt\xc3\xa0 "));
}

void TestMTextEdit::globalIsHiddenAndKeepsItsValue()
{
    Form form;
    QVERIFY(form.build("<f><global var=\"G\" width=\"300\">echo x >> runs; echo secret</global>"
                       "<global>echo y >> runs</global>"
                       "<button>printf '%s' \"$G\"</button></f>"));
    QCOMPARE(form.session.hiddenWidgets().size(), size_t(2));
    auto *global = qobject_cast<MTextEdit *>(form.session.hiddenWidgets()[0].get());
    QVERIFY(!global->parent());
    QVERIFY(!global->isVisible());
    QCOMPARE(global->lineEdit()->minimumWidth(), 0);
    QVERIFY(!form.find<MTextEdit>());
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(form.click(), QStringLiteral("secret"));
    QCOMPARE(form.click(), QStringLiteral("secret"));
    QCOMPARE(form.file("runs"), QStringLiteral("x\ny\n"));
}

void TestMTextEdit::longValueKeptWhole()
{
    // Longer than a line edit holds by default: the variable still gets every byte.
    Form form;
    QVERIFY(form.build("<f><global var=\"L\">head -c 40000 /dev/zero | tr '\\0' a; echo b</global>"
                       "<button>printf '%s' \"$L\" | wc -c</button>"
                       "<text var=\"T\">head -c 40000 /dev/zero | tr '\\0' a</text>"
                       "<text var=\"HUGE\">head -c 300000 /dev/zero | tr '\\0' h</text></f>"));
    QCOMPARE(form.var(0).size(), 40001);
    QCOMPARE(form.click().trimmed(), QStringLiteral("40001"));

    // An edit keeps the whole value; one too long to edit at typing speed is
    // shown read-only and kept whole.
    QLineEdit *edit = form.find<MTextEdit>(0)->lineEdit();
    QLineEdit *huge = form.find<MTextEdit>(1)->lineEdit();
    QTest::keyClick(edit, Qt::Key_End);
    for (QLineEdit *e : {edit, huge})
        QTest::keyClick(e, 'z');
    QCOMPARE(form.var(1), QByteArray(40000, 'a') + 'z');
    QVERIFY(huge->isReadOnly() && huge->toolTip().contains(QStringLiteral("300000")));
    QCOMPARE(form.var(2), QByteArray(300000, 'h'));
}

QTEST_MAIN(TestMTextEdit)
#include "tst_mtextedit.moc"
