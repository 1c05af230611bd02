#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"

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

} // namespace

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
    form.log1.setPlainText(QStringLiteral("old"));
    form.log2.setPlainText(QStringLiteral("old"));
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
