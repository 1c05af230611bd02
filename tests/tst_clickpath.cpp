// A form as a user meets it: values typed, toggled and picked travel through the
// variable store into the commands of buttons, and their output into every text log.
#include "FormFixture.h"
#include "widgets/MButton.h"
#include "widgets/MCheckBox.h"
#include "widgets/MComboBox.h"
#include "widgets/MListWidget.h"
#include "widgets/MTextEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollArea>
#include <QTest>

using kivtest::Form;
using kivtest::typeText;

class TestClickPath : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void helloWorld();
    void valuesStayData_data();
    void valuesStayData();
    void everyWidgetKind();
    void bytesThatAreNotUtf8ReachCommandsUnchanged();
    void twoWidgetsOneName();
    void unboundWidgetsChangeNoVariable();
    void sizesGoToTheNamedWidget();
    void keyboardAlone();
};

void TestClickPath::helloWorld()
{
    Form form;
    QVERIFY(form.build("<f><text var=\"NAME\"/><button>echo Hello $NAME</button></f>"));
    QLineEdit *edit = form.find<MTextEdit>()->lineEdit();
    QTest::keyClicks(edit, QStringLiteral("Wor"));
    QCOMPARE(form.var(0), QByteArray("Wor"));
    QTest::keyClicks(edit, QStringLiteral("ld"));
    QCOMPARE(form.click(), QStringLiteral("Hello World\n"));
    QCOMPARE(form.log2.toPlainText(), QStringLiteral("Hello World\n"));
}

void TestClickPath::valuesStayData_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("quote breakout") << QStringLiteral("\"; touch HACKED; echo \"");
    QTest::newRow("single quotes") << QStringLiteral("'; touch HACKED; echo '");
    QTest::newRow("command substitution") << QStringLiteral("$(touch HACKED)$(id)");
    QTest::newRow("backticks") << QStringLiteral("`touch HACKED` \\ ${HOME}");
    QTest::newRow("non-ascii") << QString::fromUtf8("città € ñ 日本");
}

void TestClickPath::valuesStayData()
{
    QFETCH(QString, typed);
    Form form;
    QVERIFY(form.build("<f><text var=\"NAME\"/><button>echo \"$NAME\"</button>"
                       "<button>printf '%s' $NAME</button></f>"));
    typeText(form.find<MTextEdit>()->lineEdit(), typed);
    QCOMPARE(QString::fromUtf8(form.var(0)), typed);
    QCOMPARE(form.click(), typed + QLatin1Char('\n'));
    QCOMPARE(form.log2.toPlainText(), typed + QLatin1Char('\n'));
    form.click(1);  // unquoted: split into words, but never run
    QCOMPARE(QDir(form.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestClickPath::everyWidgetKind()
{
    Form form;
    QVERIFY(form.build("<f><global var=\"G\">printf 'glob\xc3\xa0l'</global>"
                       "<text var=\"T\">echo first</text>"
                       "<checkbox var=\"C\" text=\"check\"/>"
                       "<combobox var=\"K\">printf 'gzip\\nbzip2\\nxz'</combobox>"
                       "<button>printf '%s|' \"$G\" \"$T\" \"$C\" \"$K\"</button></f>"));
    QCOMPARE(form.click(), QString::fromUtf8("globàl|first|0|gzip|"));

    QLineEdit *edit = form.find<MTextEdit>()->lineEdit();
    edit->clear();
    typeText(edit, QString::fromUtf8("€uro"));
    QCheckBox *check = form.find<MCheckBox>()->checkBox();
    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
    QTest::keyClick(form.find<MComboBox>()->comboBox(), Qt::Key_End);
    QCOMPARE(form.click(), QString::fromUtf8("globàl|€uro|1|xz|"));
    QCOMPARE(form.log2.toPlainText(), form.log1.toPlainText());
    QCOMPARE(form.store.count(), 4);
}

void TestClickPath::bytesThatAreNotUtf8ReachCommandsUnchanged()
{
    // A Latin-1 file name listed by one command is handed back to the next one.
    Form form;
    QVERIFY(form.build("<f><combobox var=\"K\">printf 'caf\\351\\nn\\303\\251e'</combobox>"
                       "<text var=\"T\">printf 'x\\377y'</text>"
                       "<button>printf '%s|' \"$K\" \"$T\" | od -An -tx1 | tr -d ' \\n'</button></f>"));
    QCOMPARE(form.var(0), QByteArray("caf\xe9"));
    QCOMPARE(form.var(1), QByteArray("x\xffy"));
    QCOMPARE(form.click(), QStringLiteral("636166e97c78ff797c"));
    QTest::keyClick(form.find<MComboBox>()->comboBox(), Qt::Key_End);
    QCOMPARE(form.var(0), QByteArray("n\xc3\xa9" "e"));
    QTest::keyClicks(form.find<MTextEdit>()->lineEdit(), QStringLiteral("z"));
    QCOMPARE(form.var(1), QByteArray("x\xffyz"));
}

void TestClickPath::twoWidgetsOneName()
{
    // Each widget keeps a variable of its own; the one registered last is the one
    // the shell sees, since its assignment comes last in the script.
    Form form;
    QVERIFY(form.build("<f><text var=\"X\">echo one</text><text var=\"X\">echo two</text>"
                       "<button>echo \"$X\"</button></f>"));
    QCOMPARE(form.store.count(), 2);
    QTest::keyClicks(form.find<MTextEdit>(0)->lineEdit(), QStringLiteral("!"));
    QCOMPARE(form.var(0), QByteArray("one!"));
    QCOMPARE(form.var(1), QByteArray("two"));
    QCOMPARE(form.click(), QStringLiteral("two\n"));
    QTest::keyClicks(form.find<MTextEdit>(1)->lineEdit(), QStringLiteral("?"));
    QCOMPARE(form.click(), QStringLiteral("two?\n"));
    QCOMPARE(form.log2.toPlainText(), QStringLiteral("two?\n"));
}

void TestClickPath::unboundWidgetsChangeNoVariable()
{
    Form form;
    QVERIFY(form.build("<f><text var=\"A\">echo a</text><text>echo free</text><text var=\"\"/>"
                       "<checkbox/><combobox>printf 'p\\nq'</combobox></f>"));
    QCOMPARE(form.store.count(), 1);
    MTextEdit *box = form.find<MTextEdit>(1);
    QCOMPARE(box->varIndex(), -1);
    QCOMPARE(form.find<MTextEdit>(2)->varIndex(), -1);
    QCOMPARE(form.find<MCheckBox>()->varIndex(), -1);
    QCOMPARE(form.find<MComboBox>()->varIndex(), -1);
    QTest::keyClicks(box->lineEdit(), QStringLiteral("dom"));
    QCOMPARE(box->lineEdit()->text(), QStringLiteral("freedom"));
    form.find<MCheckBox>()->checkBox()->setFocus();
    QTest::keyClick(form.find<MCheckBox>()->checkBox(), Qt::Key_Space);
    QVERIFY(form.find<MCheckBox>()->checkBox()->isChecked());
    QTest::keyClick(form.find<MComboBox>()->comboBox(), Qt::Key_Down);
    QCOMPARE(form.find<MComboBox>()->comboBox()->currentText(), QStringLiteral("q"));
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(form.var(0), QByteArray("a"));
}

void TestClickPath::sizesGoToTheNamedWidget()
{
    Form form;
    QVERIFY(form.build("<f><button width=\"130px\" height=\" 45\">true</button>"
                       "<text width=\"250\" height=\"40\"/>"
                       "<checkbox text=\"x\" width=\"220\" height=\"50\"/>"
                       "<combobox width=\"240\" height=\"35\">echo a</combobox></f>"));
    const auto sized = [](const QWidget *w) { return QSize(w->minimumWidth(), w->minimumHeight()); };
    MButton *button = form.find<MButton>();
    QCOMPARE(sized(button->pushButton()), QSize(130, 45));
    QCOMPARE(sized(button), QSize(0, 0));
    QVERIFY(button->width() >= 130);
    MTextEdit *text = form.find<MTextEdit>();
    QCOMPARE(sized(text->lineEdit()), QSize(250, 40));
    QCOMPARE(sized(text), QSize(0, 0));
    QVERIFY(text->width() >= 250);
    MCheckBox *check = form.find<MCheckBox>();
    QCOMPARE(sized(check), QSize(220, 50));
    QCOMPARE(sized(check->checkBox()), QSize(0, 0));
    MComboBox *combo = form.find<MComboBox>();
    QCOMPARE(sized(combo->comboBox()), QSize(240, 35));
    QCOMPARE(sized(combo), QSize(0, 0));
}

void TestClickPath::keyboardAlone()
{
    Form form;
    QVERIFY(form.build(R"(<f><text var="NAME"/><checkbox text="&Loud"/><combobox>printf 'gzip\nxz'</combobox>
        <scrolllayout><label>seq 1 200</label><file/></scrolllayout><textlog/><scrolllayout><label>seq 1 50</label>
        </scrolllayout><iconlist var="PICK" mode="list" code="printf 'alpha\nbeta'">
        <ondoubleclick>echo "list:$PICK" >> runs</ondoubleclick></iconlist><button>echo "run:$NAME" >> runs</button></f>)"));
    form.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form.window));
    QTest::keyClicks(form.find<MTextEdit>()->lineEdit(), QStringLiteral("Ada"));

    // Document order, out of the text log; a scrolling area is a stop only when
    // it holds nothing else that is, and shows the widget inside that has focus.
    QStringList walked;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *now = QApplication::focusWidget();
        walked << (now->objectName().isEmpty() ? now->parentWidget()->objectName() : now->objectName());
        auto *view = form.find<QScrollArea>()->viewport();
        QVERIFY(i != 2 || view->rect().contains(QRect(now->mapTo(view, QPoint()), now->size())));
    }
    QCOMPARE(walked.join(QLatin1Char(' ')), QStringLiteral("checkBox comboBox lineEdit browseButton textLog scrollArea "
                                                           "listWidget pushButton lineEdit"));

    // Return and Enter press the focused button, and run the current entry's command.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QListWidget *list = form.find<MListWidget>()->listWidget();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    // Current but not selected: selected first, as a double click would.
    list->clearSelection();
    list->setCurrentItem(list->item(0), QItemSelectionModel::NoUpdate);
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(form.settle());
    QCOMPARE(form.file("runs"), QStringLiteral("run:Ada\nrun:Ada\nlist:beta\nlist:alpha\n"));
}

QTEST_MAIN(TestClickPath)
#include "tst_clickpath.moc"
