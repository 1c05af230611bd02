#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"
#include "widgets/MComboBox.h"

#include <QComboBox>
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

QStringList entries(const QComboBox *combo)
{
    QStringList all;
    for (int i = 0; i < combo->count(); ++i)
        all << combo->itemText(i);
    return all;
}

QStringList texts(std::initializer_list<const char *> items)
{
    QStringList all;
    for (const char *item : items)
        all << QString::fromUtf8(item);
    return all;
}

} // namespace

class TestMComboBox : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entriesFromOutput_data();
    void entriesFromOutput();
    void pickingReachesCommands();
    void selectEntry();
};

void TestMComboBox::entriesFromOutput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("current");

    const auto printf = [](const char *format) -> QByteArray {
        return QByteArray("<f><combobox var=\"C\">printf '") + format + "'</combobox></f>";
    };
    QTest::newRow("plain lines") << printf("red\\ngreen\\nblue\\n") << texts({"red", "green", "blue"})
                                 << 0;
    QTest::newRow("marked line") << printf("red\\n#green\\nblue") << texts({"red", "green", "blue"}) << 1;
    QTest::newRow("last mark wins") << printf("#red\\n#green") << texts({"red", "green"}) << 1;
    QTest::newRow("first equal text wins") << printf("red\\ngreen\\n#red") << texts({"red", "green", "red"})
                                           << 0;
    QTest::newRow("lone mark is the empty entry") << printf("a\\n#\\nb") << texts({"a", "", "b"}) << 1;
    QTest::newRow("empty lines add nothing") << printf("a\\n\\n\\nb") << texts({"a", "b"}) << 0;
    QTest::newRow("carriage returns stay") << printf("a\\r\\nb\\r\\n") << texts({"a\r", "b\r"}) << 0;
    QTest::newRow("blanks stay, mark only at start")
        << printf("y \\n #x\\n\\tz") << texts({"y ", " #x", "\tz"}) << 0;
    QTest::newRow("utf-8") << printf("citt\xc3\xa0\\n#\xe2\x82\xac") << texts({"città", "€"}) << 1;
    QTest::newRow("silent command") << printf("") << QStringList() << -1;
    QTest::newRow("no content") << QByteArray("<f><combobox var=\"C\"/></f>") << QStringList() << -1;
    QTest::newRow("entries only from content")
        << QByteArray("<f><combobox var=\"C\" text=\"x\" code=\"echo coded\">echo a</combobox></f>")
        << texts({"a"}) << 0;
}

void TestMComboBox::entriesFromOutput()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QFETCH(int, current);
    Form form;
    QVERIFY(form.build(content));
    QComboBox *combo = form.find<MComboBox>()->comboBox();
    QCOMPARE(entries(combo), expected);
    QCOMPARE(combo->currentIndex(), current);
    QVERIFY(!combo->isEditable());
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(QString::fromUtf8(form.var(0)), current < 0 ? QString() : expected.at(current));
}

void TestMComboBox::pickingReachesCommands()
{
    Form form;
    QVERIFY(form.build("<f><combobox var=\"A\">printf 'gz\\n#xz\\nnone'</combobox>"
                       "<combobox>printf 'p\\nq'</combobox>"
                       "<button>printf '%s' \"$A\"</button></f>"));
    MComboBox *bound = form.find<MComboBox>(0);
    QCOMPARE(form.click(), QStringLiteral("xz"));

    QSignalSpy spy(bound, &MComboBox::valueChanged);
    QTest::keyClick(bound->comboBox(), Qt::Key_Down);
    QCOMPARE(form.var(0), QByteArray("none"));
    QTest::keyClick(bound->comboBox(), Qt::Key_Down);  // already the last entry
    QCOMPARE(spy.count(), 1);
    QTest::keyClick(bound->comboBox(), Qt::Key_Home);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(form.click(), QStringLiteral("gz"));

    MComboBox *unbound = form.find<MComboBox>(1);
    QCOMPARE(unbound->varIndex(), -1);
    QTest::keyClick(unbound->comboBox(), Qt::Key_Down);
    QCOMPARE(unbound->comboBox()->currentText(), QStringLiteral("q"));
    QCOMPARE(form.store.count(), 1);
    QCOMPARE(form.var(0), QByteArray("gz"));
}

void TestMComboBox::selectEntry()
{
    MComboBox combo;
    combo.setVarIndex(2);
    QSignalSpy spy(&combo, &MComboBox::valueChanged);
    combo.addEntry(QStringLiteral("a"));
    combo.addEntry(QStringLiteral("b"));
    QCOMPARE(spy.count(), 1);  // only the first entry of an empty box becomes current
    combo.selectEntry(QByteArray("b"));
    QCOMPARE(combo.comboBox()->currentIndex(), 1);
    QCOMPARE(spy.last(), QVariantList({2, QStringLiteral("b")}));
    spy.clear();
    combo.selectEntry(QByteArray("B"));
    combo.selectEntry(std::nullopt);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(combo.comboBox()->currentIndex(), 1);
    addComboEntries(&combo, std::nullopt);
    QCOMPARE(combo.comboBox()->count(), 2);
}

QTEST_MAIN(TestMComboBox)
#include "tst_mcombobox.moc"
