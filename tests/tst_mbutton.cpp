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

QString clickButton(const Form &form, int i = 0)
{
    MButton *button = form.find<MButton>(i);
    if (!button)
        return QStringLiteral("<no button>");
    QTest::mouseClick(button->pushButton(), Qt::LeftButton);
    return form.log1.toPlainText();
}

} // namespace

class TestMButton : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void configureAndClickOrder();
    void commandAndTitle_data();
    void commandAndTitle();
    void commandRunsAtEveryClickOnly();
    void sizeGoesToPushButton();
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
    QCOMPARE(clickButton(form), output);
    QCOMPARE(form.log2.toPlainText(), output);
}

void TestMButton::commandRunsAtEveryClickOnly()
{
    Form form;
    QVERIFY(form.build("<f><button>echo run >> count; cat count | wc -l</button></f>"));
    QVERIFY(!QFile::exists(form.dir.filePath(QStringLiteral("count"))));
    QCOMPARE(clickButton(form), QStringLiteral("1\n"));
    QCOMPARE(clickButton(form), QStringLiteral("2\n"));
}

void TestMButton::sizeGoesToPushButton()
{
    Form form;
    QVERIFY(form.build("<f><button width=\"130px\" height=\" 45\">true</button></f>"));
    MButton *button = form.find<MButton>();
    QCOMPARE(button->pushButton()->minimumWidth(), 130);
    QCOMPARE(button->pushButton()->minimumHeight(), 45);
    QCOMPARE(button->minimumWidth(), 0);
    QVERIFY(button->width() >= 130);
}

void TestMButton::worksWithoutOutputHandler()
{
    Form form;
    setOutputHandler(nullptr);
    QVERIFY(form.build("<f><button>echo x > ran</button></f>"));
    MButton *button = form.find<MButton>();
    QSignalSpy clicked(button, &MButton::clicked);
    QTest::mouseClick(button->pushButton(), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(form.fileText(QStringLiteral("ran")), QStringLiteral("x\n"));
    QCOMPARE(form.log1.toPlainText(), QString());
}

QTEST_MAIN(TestMButton)
#include "tst_mbutton.moc"
