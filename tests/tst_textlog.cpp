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
#include "shell/TerminalText.h"

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

// Styled runs as "line:start+length what", joined by "; ".
QString describe(const QByteArray &output)
{
    QStringList out;
    const QList<QByteArray> lines = output.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        for (const StyledRun &run : drawTerminalLine(lines[n]).runs) {
            QStringList what;
            const auto colour = [](quint32 c) {
                return c & TerminalStyle::kRgb ? QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                               : QString::number(c);
            };
            if (run.style.foreground != TerminalStyle::kDefault)
                what << QStringLiteral("fg") + colour(run.style.foreground);
            if (run.style.background != TerminalStyle::kDefault)
                what << QStringLiteral("bg") + colour(run.style.background);
            const char *names[] = {"bold", "faint", "italic", "underline", "inverse"};
            for (int bit = 0; bit < 5; ++bit) {
                if (run.style.flags & (1 << bit))
                    what << QString::fromLatin1(names[bit]);
            }
            out << QStringLiteral("%1:%2+%3 %4").arg(n).arg(run.start).arg(run.length).arg(what.join(QLatin1Char(' ')));
        }
    }
    return out.join(QStringLiteral("; "));
}

} // namespace

class TestTextLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installRichTextGuard(); }
    void shouldEndWithTheTextOfEachOutput_data();
    void shouldEndWithTheTextOfEachOutput();
    void shouldDrawOutputAsATerminalDoes_data();
    void shouldDrawOutputAsATerminalDoes();
    void shouldBoundWhatACopyTakes();
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

void TestTextLog::shouldDrawOutputAsATerminalDoes_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("progress"); // the form has a progress bar
    QTest::addColumn<int>("stop");      // 1: stopped, 2: killed
    QTest::addColumn<bool>("rich");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("copied"); // null: what is shown
    QTest::addColumn<QString>("styles");
    const auto row = [](const char *name, const QByteArray &output, const char *shown, const char *styles = "") {
        QTest::newRow(name) << output << QString() << false << 0 << false << QString::fromUtf8(shown) << QString()
                            << QString::fromUtf8(styles);
    };
    row("CR redraws", "a\rb\n", "b\n");
    row("progress redrawn", "10%\r20%\r30%\n", "30%\n");
    row("CR overwrites the start only", "abc\rX\n", "Xbc\n");
    row("CR then erase to the end", "abcdef\r\e[Kxy\n", "xy\n");
    row("backspace and erase", "abcdef\b\b\e[0Kxy\n", "abcdxy\n");
    row("erase to the start", "abcdef\b\b\b\e[1K!\n", "   !ef\n");
    row("erase the line", "abc\e[2Kd\n", "   d\n");
    row("backspace at the start", "\b\bab\n", "ab\n");
    row("CR LF", "one\r\ntwo\r\n", "one\ntwo\n");
    row("red", "\e[31mred\e[0m\n", "red\n", "0:0+3 fg1");
    row("styles on and off", "\e[1;2;3;4;7mx\e[22;23;24;27my\n", "xy\n", "0:0+1 bold faint italic underline inverse");
    row("bright colours", "\e[91;102mx\e[90;107my", "xy", "0:0+1 fg9 bg10; 0:1+1 fg8 bg15");
    row("256 colours", "\e[38;5;208mx\e[48;5;17my", "xy", "0:0+1 fg208; 0:1+1 fg208 bg17");
    row("true colour", "\e[38;2;1;2;3mx\e[48;2;255;0;16my", "xy", "0:0+1 fg#010203; 0:1+1 fg#010203 bg#ff0010");
    row("colon forms", "\e[38:2::1:2:3ma\e[38:2:4:5:6mb\e[38:5:9mc\e[4:0md", "abcd",
        "0:0+1 fg#010203; 0:1+1 fg#040506; 0:2+2 fg9");
    row("default colours back", "\e[31;41mx\e[39my\e[49mz\e[1m\e[mw", "xyzw", "0:0+1 fg1 bg1; 0:1+1 bg1");
    row("colour redrawn", "\e[31mabc\r\e[32mX\n", "Xbc\n", "0:0+1 fg2; 0:1+2 fg1");
    row("styles end with the line", "\e[31ma\nb\n", "a\nb\n", "0:0+1 fg1");
    row("UTF-8 in colour", "\e[32mcaf\xc3\xa9\e[0m \xf0\x9f\x98\x80\n", "caf\u00e9 \U0001F600\n", "0:0+4 fg2");
    row("cursor and screen sequences", "\e[2J\e[H\e[?25l\e[3;4Hok\e[?25h\e[>4;1m\n", "ok\n");
    row("title", "\e]0;a title\aok\e]2;t\e\\!\n", "ok!\n");
    row("link", "\e]8;;http://example.org/\e\\link\e]8;;\e\\\n", "link\n");
    row("DCS, APC, PM, SOS", "\eP1$r0m\e\\a\e_x\e\\b\e^y\e\\c\eXz\e\\d\n", "abcd\n");
    row("two-byte escapes", "\e(B\e7\e8\e=ok\e>\n", "ok\n");
    row("other controls", QByteArray("a\x07" "b\x0e\x01" "c\x7f") + '\0' + "d\n", "abcd\n");
    row("CAN cancels", "\e[31\x18x\e]0;t\x1ay\n", "xy\n");
    row("escape left open", "ok\e[31", "ok");
    row("string left open", "ok\e]0;title", "ok");
    row("bytes that are not UTF-8", "\xff\e[1m\xfe\n", "\uF7FF\uF7FE\n", "0:1+1 bold");
    const auto more = [](const char *name, const QByteArray &output, const char *format, bool progress, int stop,
                         bool rich, const char *shown, const char *copied) {
        QTest::newRow(name) << output << QString::fromLatin1(format) << progress << stop << rich
                            << QString::fromUtf8(shown) << (copied ? QString::fromUtf8(copied) : QString()) << QString();
    };
    more("grep -rn '<p>' site/", "site/a.html:3:<p>one</p>\nsite/b.html:9:<p>two</p>\n", "", false, 0, true,
         "site/a.html:3:\none\nsite/b.html:9:\ntwo ", nullptr);
    more("...in a plain log", "site/a.html:3:<p>one</p>\nsite/b.html:9:<p>two</p>\n", "plain", false, 0, false,
         "site/a.html:3:<p>one</p>\nsite/b.html:9:<p>two</p>\n", nullptr);
    more("rich without a tag", "a & b\n", "rich", false, 0, true, "a & b ", nullptr);
    more("auto judges without escapes", "\e]0;title\a<b>x</b>\e[?25h\n", "auto", false, 0, true, "x ", nullptr);
    more("progress lines left out", "10\nworking\n50%\n# step two\n 100 \n", "", true, 0, false, "working\n", nullptr);
    more("...not a last one without its end", "10\n100", "", true, 0, false, "100", nullptr);
    more("...kept without a bar", "10\nworking\n# step\n", "", false, 0, false, "10\nworking\n# step\n", nullptr);
    more("...as the bar reads them", "5\r10\n# a\rb\ndone\n", "", true, 0, false, "10\ndone\n", nullptr);
    more("stopped", "partial\n", "", false, 1, false, "partial\n[stopped]", "partial\n");
    more("killed", "no line end", "", false, 2, false, "no line end\n[stopped; had to be killed]", "no line end");
    more("stopped rich", "<b>x</b>\n", "", false, 1, true, "x \n[stopped]", "x ");
    more("stopped without output", "", "", false, 1, false, "[stopped]", "");
}

void TestTextLog::shouldDrawOutputAsATerminalDoes()
{
    QFETCH(QByteArray, output);
    QFETCH(QString, format);
    QFETCH(bool, progress);
    QFETCH(int, stop);
    QFETCH(bool, rich);
    QFETCH(QString, shown);
    QFETCH(QString, copied);
    QFETCH(QString, styles);
    QCOMPARE(describe(output), styles);
    Logs logs;
    logs.handler.setProgressLines(progress);
    const TextLogView::Format f = format == QLatin1String("plain") ? TextLogView::Format::Plain
                                  : format == QLatin1String("rich") ? TextLogView::Format::Rich
                                                                    : TextLogView::Format::Auto;
    logs.one->setFormat(f);
    logs.two->setFormat(f);
    QSignalSpy emitted(&logs.handler, &MOHandler::outputEmit);
    // Byte by byte into one log (every sequence split), and while it arrives.
    logs.handler.beginOutput();
    for (qsizetype at = 0; at < output.size(); ++at) {
        logs.handler.appendOutput(output.mid(at, 1));
        if (at % 3 == 0)
            logs.one->visibleText();
    }
    logs.handler.endOutput();
    if (stop)
        logs.handler.reportStopped(stop == 2);
    // The output itself is kept as it came.
    QCOMPARE(logs.handler.lastOutput(), output);
    QCOMPARE(emitted.at(0).at(0).toString(), outputText(output));
    for (TextLogView *log : {logs.one, logs.two}) {
        QCOMPARE(log->isRichText(), rich);
        QCOMPARE(log->toPlainText(), shown);
    }
    logs.one->setFocus();
    QTest::keyClick(logs.one, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(logs.one, Qt::Key_C, Qt::ControlModifier);
    if (const QString want = copied.isNull() ? shown : copied; !want.isEmpty())
        QCOMPARE(QGuiApplication::clipboard()->text(), want);
    // The next output starts afresh.
    logs.feed("after\n", 64);
    QCOMPARE(logs.two->toPlainText(), f == TextLogView::Format::Rich ? QStringLiteral("after ") : QStringLiteral("after\n"));
}

void TestTextLog::shouldBoundWhatACopyTakes()
{
    Logs logs;
    const QByteArray line = "\e[32m" + QByteArray(70, 'x') + "\e[0m\n";
    logs.feed(line.repeated((TextLogView::kCopyMaxBytes + (1 << 20)) / line.size()), 1 << 20);
    TextLogView *log = logs.one;
    log->setFocus();
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QGuiApplication::clipboard()->text();
    QVERIFY(copied.size() > TextLogView::kCopyMaxBytes * 7 / 10);
    QVERIFY(copied.size() <= TextLogView::kCopyMaxBytes);
    QVERIFY(copied.startsWith(QString(70, QLatin1Char('x')) + QLatin1Char('\n')));
    QVERIFY(!log->copyNote().isEmpty());
    // A small selection is copied whole, and says nothing.
    QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, QPoint(10, 8));
    QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(70, QLatin1Char('x')));
    QVERIFY(log->copyNote().isEmpty());
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
            FormSession session;
            const auto form = parseDocumentText("<label>printf '" + text.replace('<', "\\074") + "'</label>");
            buildElement(session, form->root(), logs.window.layout());
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
