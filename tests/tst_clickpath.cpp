// A form as a user meets it: values typed, toggled and picked travel through the
// variable store into the commands of buttons, and their output into every text log.
#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"
#include "widgets/MCheckBox.h"
#include "widgets/MComboBox.h"
#include "widgets/MTextEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>

namespace {

// A fresh store, runner store and output handler, two text logs on the handler and
// a window that receives the built widgets. Commands run in a private directory.
struct Form
{
    MEnvVar store;
    MOHandler handler;
    QTextEdit log1, log2;
    QTemporaryDir dir;
    QString home = QDir::currentPath();
    QWidget window;
    std::unique_ptr<Document> doc;

    Form()
    {
        setVariableStore(&store);
        setRunnerStore(&store);
        setOutputHandler(&handler);
        for (QTextEdit *log : {&log1, &log2})
            QObject::connect(&handler, &MOHandler::outputEmit, log, &QTextEdit::setPlainText);
        QDir::setCurrent(dir.path());
    }
    ~Form()
    {
        QDir::setCurrent(home);
        setVariableStore(nullptr);
        setRunnerStore(nullptr);
        setOutputHandler(nullptr);
    }
    // Builds the children of the mc text's root into the window and shows it.
    bool build(const QByteArray &mc)
    {
        doc = parseDocumentText(mc);
        auto *layout = new QVBoxLayout(&window);
        for (int i = 0; doc->root() && i < doc->root()->childCount(); ++i)
            buildElement(nullptr, doc->root()->child(i), layout);
        window.show();
        return doc->root() && QTest::qWaitForWindowExposed(&window);
    }
    template <class T> T *find(int i = 0) const
    {
        const auto all = window.findChildren<T *>();
        return i < all.size() ? all[i] : nullptr;
    }
    QByteArray var(int i) const { return store.valueOf(i); }
    // Clicks button i as a user would and returns what the first log shows.
    QString click(int i = 0)
    {
        if (MButton *button = find<MButton>(i))
            QTest::mouseClick(button->pushButton(), Qt::LeftButton);
        return log1.toPlainText();
    }
    QString file(const char *name) const
    {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

// QTest::keyClicks only knows ASCII: other characters arrive as key events that
// carry just their text, as an input method delivers them.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

class TestClickPath : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void helloWorld();
    void valuesStayData_data();
    void valuesStayData();
    void everyWidgetKind();
    void twoWidgetsOneName();
    void unboundWidgetsChangeNoVariable();
    void sizesGoToTheNamedWidget();
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

QTEST_MAIN(TestClickPath)
#include "tst_clickpath.moc"
