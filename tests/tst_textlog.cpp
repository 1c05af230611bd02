// Text logs fed as the command runner feeds them: in pieces, while the window lives.
#include "app/NoticeScreen.h"
#include "app/frmMain.h"
#include "builder/Builders.h"
#include "builder/RichTextResources.h"
#include "builder/TextLog.h"
#include "markup/Document.h"
#include "markup/LosslessText.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtTest>

#include <sys/stat.h>

namespace {

// Counts the paints of a widget.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// Two logs on one handler, in a window on screen.
struct Logs
{
    MOHandler handler;
    QWidget window;
    TextLogView *one = new TextLogView;
    TextLogView *two = new TextLogView;

    Logs()
    {
        auto *column = new QVBoxLayout(&window);
        for (TextLogView *log : {one, two}) {
            log->setHandler(&handler);
            column->addWidget(log);
        }
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void feed(const QByteArray &output, qsizetype piece, qint64 dropped = 0)
    {
        handler.beginOutput();
        for (qsizetype at = 0; at < output.size(); at += piece)
            handler.appendOutput(output.mid(at, piece));
        handler.endOutput(dropped);
    }
    static bool atEnd(TextLogView *log) { return log->verticalScrollBar()->value() == log->verticalScrollBar()->maximum(); }
};

QByteArray lines(int count)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += QByteArray::number(i) + '\n';
    return out;
}

} // namespace

class TestTextLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installRichTextGuard(); }
    void shouldEndWithTheTextOfEachOutput_data();
    void shouldEndWithTheTextOfEachOutput();
    void shouldShowOutputWhileItArrivesCoalesced();
    void shouldFollowTheEndUnlessScrolledUp();
    void shouldKeepNoMoreThanTheLimit();
    void shouldCopyTheBytesAndLetTabMoveOn();
    void shouldTellScreenReadersWhatItIs();
    void richTextShouldReadOnlyRegularFiles_data();
    void richTextShouldReadOnlyRegularFiles();
};

void TestTextLog::shouldEndWithTheTextOfEachOutput_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("piece");
    QTest::addColumn<bool>("rich");
    // Null: as a plain or rich text document shows the text.
    QTest::addColumn<QString>("shown");
    QByteArray hex(1 << 20, 'f');
    QByteArray words;
    while (words.size() < 100000)
        words += "word ";
    QByteArray bigRich = "<b>report</b>\n";
    while (bigRich.size() <= kRichTextMaxBytes)
        bigRich += "<i>row</i> of a long report<br>\n";
    QTest::newRow("plain lines") << QByteArray("one\ntwo\n") << 3 << false << QString();
    QTest::newRow("empty") << QByteArray() << 1 << false << QString();
    QTest::newRow("no final line end") << QByteArray("a\n\nb") << 1 << false << QString();
    QTest::newRow("rich") << QByteArray("<b>done</b> in <i>2 s</i>\nnext") << 5 << true << QString();
    QTest::newRow("rich past its size is plain") << bigRich << 65536 << false << QString();
    QTest::newRow("rich with a long run is plain") << QByteArray("<b>x</b>" + QByteArray(20000, 'y')) << 4096 << false << QString();
    QTest::newRow("deeply nested tables are plain") << QByteArray("<table><tr><td>").repeated(12) << 7 << false << QString();
    QTest::newRow("UTF-8 cut between pieces") << QByteArray("caf\xc3\xa9 \xe2\x82\xac\n") << 1 << false << QString();
    QTest::newRow("bytes that are not UTF-8") << QByteArray("\xff\xfe ok \xc3(\n") << 2 << false << QString();
    QTest::newRow("NUL") << QByteArray("a\0b\n\0", 5) << 2 << false << QStringLiteral("ab\n");
    QTest::newRow("CR, CR LF, CR LF cut") << QByteArray("1\r2\r\n3\r\n\r4\r") << 3 << false << QStringLiteral("2\n3\n4");
    QTest::newRow("tabs") << QByteArray("a\tb\t\tc\n") << 64 << false << QString();
    QTest::newRow("1 MB line without a break") << hex << 65536 << false << QString();
    QTest::newRow("long line of words") << words << 4000 << false << QString();
    QTest::newRow("multi-byte characters across a cut") << QByteArray("\xc3\xa9").repeated(5000) << 333 << false << QString();
    QTest::newRow("many lines") << lines(100000) << 65536 << false << QString();
}

void TestTextLog::shouldEndWithTheTextOfEachOutput()
{
    QFETCH(QByteArray, output);
    QFETCH(int, piece);
    QFETCH(bool, rich);
    QFETCH(QString, shown);
    Logs logs;
    logs.feed("something before\n", 4);
    QSignalSpy emitted(&logs.handler, &MOHandler::outputEmit);
    logs.feed(output, piece);
    QCOMPARE(logs.handler.lastOutput(), output);
    QCOMPARE(emitted.size(), 1);
    // What a rich or plain text document makes of the same text.
    QTextDocument expected;
    const QString text = emitted.at(0).at(0).toString();
    QCOMPARE(text, outputText(output));
    if (rich)
        expected.setHtml(text);
    else
        expected.setPlainText(text);
    for (TextLogView *log : {logs.one, logs.two}) {
        QCOMPARE(log->isRichText(), rich);
        QCOMPARE(log->toPlainText(), shown.isNull() ? expected.toPlainText() : shown);
        QVERIFY(Logs::atEnd(log));
    }
    QCOMPARE(logs.handler.richText().isNull(), !rich);
}

void TestTextLog::shouldShowOutputWhileItArrivesCoalesced()
{
    Logs logs;
    PaintCounter counter;
    logs.one->viewport()->installEventFilter(&counter);
    logs.handler.beginOutput();
    QTRY_VERIFY(counter.paints > 0);
    counter.paints = 0;
    logs.handler.appendOutput("1\n");
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(logs.one->visibleText(), QStringLiteral("1\n"));

    // Pieces that arrive faster than the screen repaints make one repaint.
    counter.paints = 0;
    for (int i = 2; i <= 500; ++i)
        logs.handler.appendOutput(QByteArray::number(i) + '\n');
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(counter.paints, 1);
    QVERIFY(logs.one->visibleText().endsWith(QStringLiteral("499\n500\n")));
    logs.handler.endOutput();
    QCOMPARE(logs.one->toPlainText(), QString::fromLatin1(lines(500)));
}

void TestTextLog::shouldFollowTheEndUnlessScrolledUp()
{
    Logs logs;
    TextLogView *log = logs.one;
    QScrollBar *bar = log->verticalScrollBar();
    logs.handler.beginOutput();
    logs.handler.appendOutput(lines(1000));
    QTRY_VERIFY(bar->maximum() > 900);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(log->followsEnd());

    log->setFocus();
    QTest::keyClick(log, Qt::Key_PageUp);
    const int where = bar->value();
    QVERIFY(where < bar->maximum());
    QVERIFY(!log->followsEnd());
    logs.handler.appendOutput(lines(2000).mid(lines(1000).size()));
    QTRY_VERIFY(bar->maximum() > 1900);
    QCOMPARE(bar->value(), where);
    // The other log was left alone and goes on following.
    QCOMPARE(logs.two->verticalScrollBar()->value(), logs.two->verticalScrollBar()->maximum());

    // Back at the end, the log follows again.
    QTest::keyClick(log, Qt::Key_End);
    QVERIFY(log->followsEnd());
    logs.handler.appendOutput("last\n");
    logs.handler.endOutput();
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(log->visibleText().endsWith(QStringLiteral("2000\nlast\n")));
    // Rows scroll one at a time, also inside a block that wraps.
    logs.feed(QByteArray(20000, 'x') + "\nend", 4096);
    const QString bottom = log->visibleText();
    QTest::keyClick(log, Qt::Key_Up);
    QVERIFY(log->visibleText() != bottom);
    QVERIFY(!log->followsEnd());
    QTest::keyClick(log, Qt::Key_Down);
    QCOMPARE(log->visibleText(), bottom);
    QVERIFY(log->followsEnd());
    // More lines than one turn indexes: the log gets to the end over a few turns.
    logs.feed(QByteArray(TextLogView::kIndexPerRefresh + 100000, '\n') + "end", 65536);
    QTRY_VERIFY(log->visibleText().endsWith(QStringLiteral("\nend")));
    QCOMPARE(bar->value(), bar->maximum());
}

void TestTextLog::shouldKeepNoMoreThanTheLimit()
{
    Logs logs;
    logs.window.resize(800, 300);
    const qint64 limit = 64 * 1024;
    logs.handler.setOutputLimit(limit);
    QSignalSpy emitted(&logs.handler, &MOHandler::outputEmit);
    const QByteArray output = lines(2000000); // about 15 MB
    logs.feed(output, 65536, 5000);
    const OutputStore &store = logs.handler.store();
    QCOMPARE(store.size(), limit);
    QVERIFY(store.memoryUse() < 2 * limit);
    QCOMPARE(store.droppedBytes(), output.size() - limit + 5000);
    const QString notice = QStringLiteral("[kiv: %1 more bytes (14.1 MiB) of output left out]").arg(output.size() - limit + 5000);
    QCOMPARE(store.leftOutNotice(), notice);
    QVERIFY(emitted.at(0).at(0).toString().endsWith(QLatin1Char('\n') + notice));
    QVERIFY(logs.one->toPlainText().endsWith(QLatin1Char('\n') + notice));
    QVERIFY(logs.one->visibleText().endsWith(QLatin1Char('\n') + notice));
    QCOMPARE(logs.one->toPlainText(), emitted.at(0).at(0).toString());

    // A whole output handed over at once is kept as it is, not copied.
    logs.handler.setOutputLimit(kOutputLimitBytes);
    logs.handler.outputGathered(output);
    QCOMPARE(logs.handler.lastOutput().constData(), output.constData());
    QCOMPARE(logs.two->toPlainText(), QString::fromLatin1(output));
}

void TestTextLog::shouldCopyTheBytesAndLetTabMoveOn()
{
    Logs logs;
    logs.feed(QByteArray("caf\xc3\xa9 \xff\r\nnext\0", 14), 5);
    TextLogView *log = logs.one;
    log->setFocus();
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
    // The text as shown: CR drawn, NUL dropped, bytes that are not UTF-8 as escapes.
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("caf\u00e9 \uF7FF\nnext"));
    QCOMPARE(bytesFromText(log->selectedText()), QByteArray("caf\xc3\xa9 \xff\nnext"));

    // A double click takes the word under the mouse, a drag what it passes.
    QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, QPoint(10, 8));
    QCOMPARE(log->selectedText(), QStringLiteral("caf\u00e9"));
    QTest::mousePress(log->viewport(), Qt::LeftButton, {}, QPoint(2, 8));
    QTest::mouseMove(log->viewport(), QPoint(200, 30));
    QTest::mouseRelease(log->viewport(), Qt::LeftButton, {}, QPoint(200, 30));
    QVERIFY(log->selectedText().startsWith(QStringLiteral("caf\u00e9 \uF7FF\nn")));

    // Typing changes nothing; Tab moves on instead of going into the log.
    QTest::keyClicks(log, QStringLiteral("typed"));
    QVERIFY(log->toPlainText().startsWith(QStringLiteral("caf")));
    QTest::keyClick(log, Qt::Key_Tab);
    QTRY_VERIFY(logs.two->hasFocus());
    QTest::keyClick(logs.two, Qt::Key_Backtab);
    QTRY_VERIFY(log->hasFocus());
}

void TestTextLog::shouldTellScreenReadersWhatItIs()
{
    Logs logs;
    logs.one->setAccessibleName(QStringLiteral("Results"));
    logs.feed("first line\nsecond line\n", 64);
    QAccessibleInterface *a11y = QAccessible::queryAccessibleInterface(logs.one);
    QVERIFY(a11y);
    QCOMPARE(a11y->role(), QAccessible::EditableText);
    QVERIFY(a11y->state().readOnly && a11y->state().multiLine);
    QCOMPARE(a11y->text(QAccessible::Name), QStringLiteral("Results"));
    QCOMPARE(a11y->text(QAccessible::Value), QStringLiteral("first line\nsecond line\n"));
}

void TestTextLog::richTextShouldReadOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("src");
    QTest::addColumn<QSize>("picture");
    const QSize broken = QImage(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-16.png")).size();
    for (const QString &where : {QStringLiteral("log"), QStringLiteral("label"), QStringLiteral("form label"),
                                 QStringLiteral("notice")}) {
        const auto row = [&](const char *name, const char *src, QSize size) {
            QTest::addRow("%s: %s", qPrintable(where), name) << where << QString::fromUtf8(src) << size;
        };
        row("device", "/dev/zero", broken);
        row("FIFO", "fifo", broken);
        row("FIFO as a file URL", "file://DIR/fifo", broken);
        row("FIFO as a background", "BACKGROUND", broken);
        row("picture file", "pic.png", QSize(7, 5));
        row("data URL", "data:image/png;base64,PNG", QSize(7, 5));
    }
}

void TestTextLog::richTextShouldReadOnlyRegularFiles()
{
    QFETCH(QString, where);
    QFETCH(QString, src);
    QFETCH(QSize, picture);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString home = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const auto back = qScopeGuard([&] { QDir::setCurrent(home); });
    QVERIFY(::mkfifo("fifo", 0600) == 0);
    QImage red(7, 5, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(QStringLiteral("pic.png")));
    QFile png(QStringLiteral("pic.png"));
    QVERIFY(png.open(QIODevice::ReadOnly));
    src.replace(QStringLiteral("DIR"), dir.path()).replace(QStringLiteral("PNG"), QString::fromLatin1(png.readAll().toBase64()));
    const QString html = src == QStringLiteral("BACKGROUND")
                             ? QStringLiteral("<table background=\"fifo\"><tr><td style=\"background-image:url(fifo)\">x</td></tr></table>")
                             : QStringLiteral("<b>shown</b><img src=\"%1\">").arg(src);

    // A hang here is the fault: Qt's test watchdog ends it.
    QWidget *shown = nullptr;
    QTextDocument *doc = nullptr;
    Logs logs;
    frmMain notice;
    if (where == QLatin1String("log")) {
        logs.feed(bytesFromText(html), 7);
        QVERIFY(logs.one->isRichText());
        shown = logs.one;
        doc = logs.one->findChild<QTextDocument *>();
    } else {
        QByteArray text = bytesFromText(html);
        QLabel *label = nullptr;
        if (where == QLatin1String("label")) {
            label = new QLabel(html);
            logs.window.layout()->addWidget(label);
            shown = &logs.window;
        } else if (where == QLatin1String("form label")) {
            // A label's command prints the text, as a form has it.
            MEnvVar store;
            setRunnerStore(&store);
            const auto form = parseDocumentText("<label>printf '" + text.replace('<', "\\074") + "'</label>");
            buildElement(nullptr, form->root(), logs.window.layout());
            setRunnerStore(nullptr);
            label = logs.window.findChild<QLabel *>();
            shown = &logs.window;
        } else {
            setupNotice(&notice, text.constData(), nullptr);
            label = notice.findChild<QLabel *>();
            notice.show();
            shown = &notice;
        }
        doc = label->findChild<QTextDocument *>();
    }
    QVERIFY(doc);
    QTRY_VERIFY(!shown->grab().isNull());
    if (src != QLatin1String("BACKGROUND"))
        QCOMPARE(doc->resource(QTextDocument::ImageResource, QUrl(src)).value<QImage>().size(), picture);
}

QTEST_MAIN(TestTextLog)
#include "tst_textlog.moc"
