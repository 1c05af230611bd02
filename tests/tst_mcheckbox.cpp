#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"
#include "widgets/MCheckBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
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

QString clickButton(const Form &form)
{
    MButton *button = form.find<MButton>();
    if (!button)
        return QStringLiteral("<no button>");
    QTest::mouseClick(button->pushButton(), Qt::LeftButton);
    return form.log1.toPlainText();
}

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
    void unboundBoxChangesNoVariable();
    void setVarIndexReportsUnchecked();
    void sizeGoesToWrapper();
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
    QCOMPARE(form.fileText(QStringLiteral("runs")), runs);
}

void TestMCheckBox::togglingReachesCommands()
{
    Form form;
    QVERIFY(form.build("<f><checkbox var=\"A\" text=\"a\"/><checkbox var=\"B\" text=\"b\"/>"
                       "<button>printf '%s%s' \"$A\" \"$B\"</button></f>"));
    QCOMPARE(clickButton(form), QStringLiteral("00"));
    QCheckBox *b = form.find<MCheckBox>(1)->checkBox();
    toggle(b);
    QCOMPARE(form.var(1), QByteArray("1"));
    QCOMPARE(clickButton(form), QStringLiteral("01"));
    QCheckBox *a = form.find<MCheckBox>(0)->checkBox();
    a->setFocus();
    QTest::keyClick(a, Qt::Key_Space);
    toggle(b);
    QCOMPARE(clickButton(form), QStringLiteral("10"));
}

void TestMCheckBox::unboundBoxChangesNoVariable()
{
    Form form;
    QVERIFY(form.build("<f><text var=\"T\">echo t</text><checkbox text=\"free\"/></f>"));
    MCheckBox *box = form.find<MCheckBox>();
    QCOMPARE(box->varIndex(), -1);
    QSignalSpy spy(box, &MCheckBox::valueChanged);
    toggle(box->checkBox());
    QVERIFY(box->checkBox()->isChecked());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), -1);
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(form.var(0), QByteArray("t"));
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

void TestMCheckBox::sizeGoesToWrapper()
{
    Form form;
    QVERIFY(form.build("<f><checkbox text=\"x\" width=\"220\" height=\"50\"/></f>"));
    MCheckBox *box = form.find<MCheckBox>();
    QCOMPARE(box->minimumWidth(), 220);
    QCOMPARE(box->minimumHeight(), 50);
    QCOMPARE(box->checkBox()->minimumWidth(), 0);
}

QTEST_MAIN(TestMCheckBox)
#include "tst_mcheckbox.moc"
