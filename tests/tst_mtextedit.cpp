#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"
#include "widgets/MTextEdit.h"

#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
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
    const size_t before = globalTextBoxes().size();
    QVERIFY(form.build("<f><global var=\"G\" width=\"300\">echo x >> runs; echo secret</global>"
                       "<global>echo y >> runs</global>"
                       "<button>printf '%s' \"$G\"</button></f>"));
    QCOMPARE(globalTextBoxes().size(), before + 2);
    MTextEdit *global = globalTextBoxes()[before];
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
    // Longer than a line edit holds: the variable still gets every byte.
    Form form;
    QVERIFY(form.build("<f><global var=\"L\">head -c 40000 /dev/zero | tr '\\0' a; echo b</global>"
                       "<button>printf '%s' \"$L\" | wc -c</button></f>"));
    QCOMPARE(form.var(0).size(), 40001);
    QCOMPARE(form.click().trimmed(), QStringLiteral("40001"));
}

QTEST_MAIN(TestMTextEdit)
#include "tst_mtextedit.moc"
