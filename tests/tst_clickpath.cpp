// A form as a user meets it: values typed, toggled and picked travel through the
// variable store into the commands of buttons, and the output into every text log.
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
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>

namespace {

// A fresh store, runner store and output handler, two text logs listening to the
// handler, and a window whose layout receives the built widgets. Commands run in a
// private current directory.
class Form
{
public:
    Form()
    {
        setVariableStore(&store);
        setRunnerStore(&store);
        setOutputHandler(&handler);
        for (QTextEdit *log : {&log1, &log2})
            QObject::connect(&handler, &MOHandler::outputEmit, log, &QTextEdit::setPlainText);
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        window.setLayout(layout);
    }
    ~Form()
    {
        QDir::setCurrent(previousDir);
        setVariableStore(nullptr);
        setRunnerStore(nullptr);
        setOutputHandler(nullptr);
    }

    // Builds every child of the mc text's root into the window and shows it.
    bool build(const QByteArray &mc)
    {
        doc = parseDocumentText(mc);
        if (!doc->root())
            return false;
        for (int i = 0; i < doc->root()->childCount(); ++i)
            buildElement(nullptr, doc->root()->child(i), layout);
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    template <class T> T *find(int i = 0) const
    {
        const auto all = window.findChildren<T *>();
        return i < all.size() ? all[i] : nullptr;
    }
    QByteArray var(int i) const { return store.valueOf(i); }
    QString fileText(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    MEnvVar store;
    MOHandler handler;
    QTextEdit log1, log2;
    QTemporaryDir dir;
    QString previousDir;
    QWidget window;
    QVBoxLayout *layout = new QVBoxLayout;
    std::unique_ptr<Document> doc;
};

// QTest::keyClicks only knows ASCII: other characters arrive as key events that
// carry just their text, as an input method would deliver them.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QString clickButton(const Form &form, int i = 0)
{
    MButton *button = form.find<MButton>(i);
    if (!button)
        return QStringLiteral("<no button>");
    QTest::mouseClick(button->pushButton(), Qt::LeftButton);
    return form.log1.toPlainText();
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
};

void TestClickPath::helloWorld()
{
    Form form;
    QVERIFY(form.build("<f><text var=\"NAME\"/><button>echo Hello $NAME</button></f>"));
    QLineEdit *edit = form.find<MTextEdit>()->lineEdit();
    QTest::keyClicks(edit, QStringLiteral("Wor"));
    QCOMPARE(form.var(0), QByteArray("Wor"));
    QTest::keyClicks(edit, QStringLiteral("ld"));
    QCOMPARE(clickButton(form), QStringLiteral("Hello World\n"));
    QCOMPARE(form.log2.toPlainText(), QStringLiteral("Hello World\n"));
    QCOMPARE(form.handler.lastOutput(), QByteArray("Hello World\n"));
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
    QCOMPARE(clickButton(form), typed + QLatin1Char('\n'));
    QCOMPARE(form.log2.toPlainText(), typed + QLatin1Char('\n'));
    clickButton(form, 1);  // unquoted: split into words, but never run
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
    QCOMPARE(clickButton(form), QString::fromUtf8("globàl|first|0|gzip|"));

    QLineEdit *edit = form.find<MTextEdit>()->lineEdit();
    edit->clear();
    typeText(edit, QString::fromUtf8("€uro"));
    QCheckBox *check = form.find<MCheckBox>()->checkBox();
    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
    QComboBox *combo = form.find<MComboBox>()->comboBox();
    QTest::keyClick(combo, Qt::Key_End);
    QCOMPARE(clickButton(form), QString::fromUtf8("globàl|€uro|1|xz|"));
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
    QCOMPARE(form.var(0), QByteArray("one"));
    QCOMPARE(form.var(1), QByteArray("two"));
    QTest::keyClicks(form.find<MTextEdit>(0)->lineEdit(), QStringLiteral("!"));
    QCOMPARE(form.var(0), QByteArray("one!"));
    QCOMPARE(form.var(1), QByteArray("two"));
    QCOMPARE(clickButton(form), QStringLiteral("two\n"));
    QTest::keyClicks(form.find<MTextEdit>(1)->lineEdit(), QStringLiteral("?"));
    QCOMPARE(clickButton(form), QStringLiteral("two?\n"));
    QCOMPARE(form.log2.toPlainText(), QStringLiteral("two?\n"));
}

QTEST_MAIN(TestClickPath)
#include "tst_clickpath.moc"
