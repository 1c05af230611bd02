#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"
#include "widgets/MCheckBox.h"

#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
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

// Clicks the box where a user would: on its indicator (the middle of a wide box
// can lie beyond its label and does nothing).
void toggle(QCheckBox *box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

} // namespace

class TestMCheckBox : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void label_data();
    void label();
    void togglingReachesCommands();
    void setVarIndexReportsUnchecked();
};

void TestMCheckBox::label_data()
{
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("runs");

    QTest::newRow("command output wins")
        << QByteArray("<f><checkbox var=\"C\" text=\"attr\">echo run >> runs; echo Word</checkbox></f>")
        << "Word" << "run\n";
    QTest::newRow("silent command falls back to text")
        << QByteArray("<f><checkbox var=\"C\" text=\"attr\">echo run >> runs</checkbox></f>") << "attr"
        << "run\n";
    QTest::newRow("nothing gives no label") << QByteArray("<f><checkbox var=\"C\"/></f>") << "" << "";
    QTest::newRow("content cannot check the box")
        << QByteArray("<f><checkbox var=\"C\" checked=\"1\">echo 1</checkbox></f>") << "1" << "";
}

void TestMCheckBox::label()
{
    QFETCH(QByteArray, mc);
    QFETCH(QString, label);
    QFETCH(QString, runs);
    Form form;
    QVERIFY(form.build(mc));
    MCheckBox *box = form.find<MCheckBox>();
    QCOMPARE(box->checkBox()->text(), label);
    QVERIFY(!box->checkBox()->isChecked());
    QVERIFY(!box->checkBox()->isTristate());
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(form.var(0), QByteArray("0"));
    QCOMPARE(form.file("runs"), runs);
}

void TestMCheckBox::togglingReachesCommands()
{
    Form form;
    QVERIFY(form.build("<f><checkbox var=\"A\" text=\"a\"/><checkbox var=\"B\" text=\"b\"/>"
                       "<button>printf '%s%s' \"$A\" \"$B\"</button></f>"));
    QCOMPARE(form.click(), QStringLiteral("00"));
    QCheckBox *b = form.find<MCheckBox>(1)->checkBox();
    toggle(b);
    QCOMPARE(form.var(1), QByteArray("1"));
    QCOMPARE(form.click(), QStringLiteral("01"));
    QCheckBox *a = form.find<MCheckBox>(0)->checkBox();
    a->setFocus();
    QTest::keyClick(a, Qt::Key_Space);
    toggle(b);
    QCOMPARE(form.click(), QStringLiteral("10"));
}

void TestMCheckBox::setVarIndexReportsUnchecked()
{
    MCheckBox box;
    QSignalSpy spy(&box, &MCheckBox::valueChanged);
    box.setVarIndex(4);
    box.changeValue(Qt::PartiallyChecked);
    box.changeValue(Qt::Checked);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0), QVariantList({4, QStringLiteral("0")}));
    QCOMPARE(spy.at(1).at(1).toString(), QStringLiteral("1"));
    QCOMPARE(spy.at(2).at(1).toString(), QStringLiteral("1"));
}

QTEST_MAIN(TestMCheckBox)
#include "tst_mcheckbox.moc"
