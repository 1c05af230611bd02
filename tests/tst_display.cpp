#include "app/frmMain.h"
#include "builder/Builders.h"
#include "builder/Common.h"
#include "markup/Document.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace {

struct Form
{
    std::unique_ptr<Document> document;
    std::unique_ptr<frmMain> window;

    QLayout *top() const { return window->layout(); }
    QWidget *at(int i) const
    {
        QLayoutItem *item = top()->itemAt(i);
        return item ? item->widget() : nullptr;
    }
    QString label(int i) const
    {
        auto *l = qobject_cast<QLabel *>(at(i));
        return l ? l->text() : QStringLiteral("<not a label>");
    }
};

Form build(const QByteArray &mc)
{
    Form f;
    f.document = parseDocumentText(mc);
    f.window = std::make_unique<frmMain>();
    buildDocumentWindow(f.window.get(), f.document->root());
    return f;
}

// What the row of an image holds, left to right: "S" a stretch, "P" the picture.
QString rowShape(QWidget *image)
{
    QString shape;
    QLayout *row = image->layout();
    for (int i = 0; i < row->count(); ++i)
        shape += row->itemAt(i)->widget() ? QLatin1Char('P') : QLatin1Char('S');
    return shape;
}

} // namespace

class TestDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void labelTexts();
    void labelCommandRunsOnce();
    void labelSize();
    void processIdVariable();
    void imageAlignment_data();
    void imageAlignment();
    void imageSources();
    void textLogsShowEachOutput();
    void textLogWithoutHandler();

private:
    QTemporaryDir m_dir;
};

void TestDisplay::init()
{
    QVERIFY(m_dir.isValid());
}

void TestDisplay::labelTexts()
{
    const Form f = build(R"(<config>
        <label>echo Hello</label>
        <label text="echo as written">true</label>
        <label text="attr">  printf '  both \n\n' </label>
        <label code="echo from code"/>
        <label text="only attribute"/>
        <label>true</label>
        <label/>
        <label>printf 'caf\303\251'</label>
    </config>)");
    QCOMPARE(f.top()->count(), 8);
    QCOMPARE(f.label(0), QStringLiteral("Hello"));
    QCOMPARE(f.label(1), QStringLiteral("echo as written"));
    QCOMPARE(f.label(2), QStringLiteral("both"));
    QCOMPARE(f.label(3), QStringLiteral("from code"));
    QCOMPARE(f.label(4), QStringLiteral("only attribute"));
    QCOMPARE(f.label(5), QString());
    QCOMPARE(f.label(6), QString());
    QCOMPARE(f.label(7), QStringLiteral("caf\u00e9"));
    QCOMPARE(f.at(0)->contentsMargins(), QMargins(0, 0, 0, 0));
}

void TestDisplay::labelCommandRunsOnce()
{
    const QByteArray log = QFile::encodeName(m_dir.filePath(QStringLiteral("runs")));
    // The content runs once; a "text" child element runs once too, even though
    // the content wins.
    const Form f = build("<vlayout><label>echo c >> '" + log + "'; echo shown</label>"
                         "<label><text>echo t >> '" + log + "'; echo fallback</text></label></vlayout>");
    QFile file(QFile::decodeName(log));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("c\nt\n"));
    const QList<QLabel *> labels = f.window->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels[0]->text(), QStringLiteral("shown"));
    QCOMPARE(labels[1]->text(), QStringLiteral("fallback"));
}

void TestDisplay::labelSize()
{
    const Form f = build(R"(<config><label text="a" width="200px" height=" 30"/>
        <label text="b" height="12"/><label text="c" width="wide"/></config>)");
    QCOMPARE(f.at(0)->minimumSize(), QSize(200, 30));
    QCOMPARE(f.at(1)->minimumSize(), QSize(0, 12));
    QCOMPARE(f.at(2)->minimumSize(), QSize(0, 0));
}

void TestDisplay::processIdVariable()
{
    const Form f = build(R"(<label>echo "$KIV_MY_PID"</label>)");
    QCOMPARE(f.label(0), QString::number(QCoreApplication::applicationPid()));
    MEnvVar *store = variableStore();
    QVERIFY(store);
    QCOMPARE(store->count(), 1);
    QCOMPARE(store->name(0), QByteArray("KIV_MY_PID"));
    QCOMPARE(store->valueOf(0), QByteArray::number(QCoreApplication::applicationPid()));
}

void TestDisplay::imageAlignment_data()
{
    QTest::addColumn<QByteArray>("align");
    QTest::addColumn<QString>("shape");
    QTest::newRow("absent") << QByteArray() << QStringLiteral("P");
    QTest::newRow("empty") << QByteArray(R"( align="")") << QStringLiteral("P");
    QTest::newRow("left") << QByteArray(R"( align="left")") << QStringLiteral("P");
    QTest::newRow("l") << QByteArray(" align=l") << QStringLiteral("P");
    QTest::newRow("center") << QByteArray(R"( align="center")") << QStringLiteral("SPS");
    QTest::newRow("c") << QByteArray(" align=c") << QStringLiteral("SPS");
    QTest::newRow("right") << QByteArray(R"( align="right")") << QStringLiteral("SP");
    QTest::newRow("Left is not left") << QByteArray(" align=Left") << QStringLiteral("SP");
}

void TestDisplay::imageAlignment()
{
    QFETCH(QByteArray, align);
    QFETCH(QString, shape);
    const Form f = build("<img" + align + "/>");
    QWidget *image = f.at(0);
    QVERIFY(image);
    QVERIFY(qobject_cast<QHBoxLayout *>(image->layout()));
    QCOMPARE(rowShape(image), shape);
}

void TestDisplay::imageSources()
{
    const QString png = m_dir.filePath(QStringLiteral("pic.png"));
    QImage picture(7, 5, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(png));
    QFile notImage(m_dir.filePath(QStringLiteral("text.png")));
    QVERIFY(notImage.open(QIODevice::WriteOnly));
    notImage.write("not a picture");
    notImage.close();

    const Form f = build("<config><img src=\"" + QFile::encodeName(png) + "\" width=\"40\" height=\"30\"/>"
                         "<img src=\"" + QFile::encodeName(notImage.fileName()) + "\"/>"
                         "<img src=\"no such picture.png\"/><img/></config>");
    auto picture0 = f.at(0)->findChild<QLabel *>();
    QVERIFY(picture0);
    QCOMPARE(picture0->pixmap().size(), QSize(7, 5));
    // The size belongs to the picture, not to its row.
    QCOMPARE(picture0->minimumSize(), QSize(40, 30));
    QCOMPARE(f.at(0)->minimumSize(), QSize(0, 0));

    QVERIFY(f.at(1)->findChild<QLabel *>()->pixmap().isNull());
    // A missing picture, or none, shows the default icon (if it is installed).
    const QImage fallback(QFile::decodeName(defaultIconPath()));
    for (int i : {2, 3}) {
        const QPixmap shown = f.at(i)->findChild<QLabel *>()->pixmap();
        QCOMPARE(shown.isNull(), fallback.isNull());
        QCOMPARE(shown.size(), fallback.size());
    }
}

void TestDisplay::textLogsShowEachOutput()
{
    const Form f = build(R"(<vlayout><textlog width="150" height="90"/><hlayout><textlog/></hlayout></vlayout>)");
    const QList<QTextEdit *> logs = f.window->findChildren<QTextEdit *>();
    QCOMPARE(logs.size(), 2);
    QCOMPARE(logs[0]->minimumSize(), QSize(150, 90));
    QVERIFY(logs[0]->toPlainText().isEmpty());

    MOHandler *handler = outputHandler();
    QVERIFY(handler);
    handler->outputGathered("first\n");
    handler->outputGathered("second line\n");
    for (QTextEdit *log : logs)
        QCOMPARE(log->toPlainText(), QStringLiteral("second line\n"));
    handler->outputGathered(QByteArray());
    for (QTextEdit *log : logs)
        QVERIFY(log->toPlainText().isEmpty());
}

void TestDisplay::textLogWithoutHandler()
{
    // Outside document mode there is no output handler: the log just stays empty.
    auto document = parseDocumentText("<textlog/>");
    frmMain window;
    auto *top = new QVBoxLayout(&window);
    setOutputHandler(nullptr);
    buildElement(&window, document->root(), top);
    QCOMPARE(top->count(), 1);
    QVERIFY(qobject_cast<QTextEdit *>(top->itemAt(0)->widget()));
}

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
