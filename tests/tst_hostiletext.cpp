// Hostile texts: rich text that would keep Qt's layout busy for minutes, pictures
// named many times or past the memory budget, and characters of the byte-escape
// range typed by a person. Each is bounded by what the text is, not by a clock.
#include "FormFixture.h"

#include "app/NoticeScreen.h"
#include "app/frmMain.h"
#include "builder/RichTextResources.h"
#include "markup/LosslessText.h"
#include "shell/RichTextLimits.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include <sys/stat.h>

namespace {

QByteArray nested(int depth, int width, const QByteArray &leaf)
{
    if (depth == 0)
        return leaf;
    const QByteArray cell = "<td>" + nested(depth - 1, width, leaf) + "</td>";
    return "<table><tr>" + cell.repeated(width) + "</tr></table>";
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QSize pictureSize(QTextDocument &doc, const QString &name)
{
    return doc.resource(QTextDocument::ImageResource, QUrl(name)).value<QPixmap>().size();
}

} // namespace

class TestHostileText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void richTextShouldBeShownOnlyWithinItsBounds_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("rich");       // in a log
        QTest::addColumn<bool>("richLabel");  // in a label and the notice
        QByteArray report = "<b>report</b>\n";
        while (report.size() < 200000)
            report += "<p>a <i>line</i> of a long report\n";
        QTest::newRow("short") << QByteArray("<b>done</b> in <i>2 s</i>") << true << true;
        QTest::newRow("20 KB of paragraphs") << report.left(20000) << true << true;
        QTest::newRow("tables 3 deep, one cell each") << nested(3, 1, "x") << true << true;
        QTest::newRow("200 KB of paragraphs") << report << true << false;
        QTest::newRow("tables 8 deep, one cell each") << nested(8, 1, "x") << true << false;
        QTest::newRow("tables 9 deep") << nested(9, 1, "x") << false << false;
        QTest::newRow("tables 8 deep, 3 wide (207 KB)") << nested(8, 3, "ab") << false << false;
        QTest::newRow("tables 4 deep, 3 wide") << nested(4, 3, "ab") << true << false;
        QTest::newRow("tables 5 deep, 3 wide") << nested(5, 3, "ab") << false << false;
        QTest::newRow("table of 200 cells") << "<table>" + QByteArray("<tr>" + QByteArray("<td>x</td>").repeated(10) + "</tr>").repeated(20) + "</table>" << true << false;
        QTest::newRow("table of 10000 cells") << "<table>" + QByteArray("<tr>" + QByteArray("<td>x</td>").repeated(10) + "</tr>").repeated(1000) + "</table>" << false << false;
        QTest::newRow("cells without a row keep their tables open") << QByteArray("<table><td>x</td></table>").repeated(10) << false << false;
        QTest::newRow("end tags in a comment") << QByteArray("<table><tr><td><!-- </td></tr></table> -->").repeated(9) << false << false;
        QTest::newRow("end tags in a style") << "<b>x</b>" + QByteArray("<div><style></div></style>\n").repeated(40) << false << false;
        QTest::newRow("end tags Qt does not take") << QByteArray("<div>x</ div>\n").repeated(40) << false << false;
        QTest::newRow("quoted end tags") << QByteArray("<div title=\"</div>\">x\n").repeated(40) << false << false;
        QTest::newRow("elements left open") << QByteArray("<b>x</b><font>\n").repeated(40) << false << false;
        QTest::newRow("paragraphs and items end themselves")
            << "<ul>" + QByteArray("<li>x\n").repeated(2000) + "</ul>" + QByteArray("<p>y\n").repeated(2000) << true << false;
        QTest::newRow("closed elements, any case") << QByteArray("<DIV>x</div >\n").repeated(2000) << true << false;
        QTest::newRow("512 pictures") << QByteArray("<img src=\"p.png\" width=2 height=2>").repeated(512) << true << true;
        QTest::newRow("513 pictures") << QByteArray("<img src=\"p.png\" width=2 height=2/>").repeated(513) << false << false;
        QTest::newRow("a long run") << "<b>x</b>" + QByteArray(20000, 'y') << false << false;
        QTest::newRow("past the size") << "<b>x</b>" + QByteArray("word ").repeated(60000) << false << false;
    }

    void richTextShouldBeShownOnlyWithinItsBounds()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, rich);
        QFETCH(bool, richLabel);
        const QString shown = textFromBytes(text);

        // A text log, through the output handler.
        MOHandler handler;
        handler.outputGathered(text);
        QCOMPARE(!handler.richText().isNull(), rich);

        // A form's label, whose command prints the text.
        kivtest::Form form;
        writeFile(form.dir.filePath(QStringLiteral("text")), text);
        QVERIFY(form.build("<f><label>cat text</label></f>"));
        QLabel *label = form.find<QLabel>();
        QVERIFY(label);
        QCOMPARE(label->text(), shown.trimmed());
        QCOMPARE(label->textFormat() != Qt::PlainText, richLabel);

        // The notice.
        frmMain notice;
        setupNotice(&notice, text.constData(), "title");
        const auto labels = notice.findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [&](QLabel *l) {
            return l->text() == shown && (l->textFormat() != Qt::PlainText) == richLabel;
        }));
    }

    void picturesShouldBeDecodedOncePerFileWithinABudget()
    {
        QTemporaryDir dir;
        const auto picture = [&](const char *name, int width, int height) {
            QImage image(width, height, QImage::Format_Mono);
            image.fill(1);
            QVERIFY(image.save(dir.filePath(QString::fromUtf8(name))));
        };
        picture("big.png", 2048, 2048);
        for (const char *name : {"b.png", "c.png", "d.png"})
            picture(name, 2048, 2048);
        picture("huge.png", 4097, 4096);
        const QString d = dir.path() + QLatin1Char('/');
        const auto f = [&](const char *name) -> QString { return d + QString::fromUtf8(name); };
        const QSize full(2048, 2048);
        const QSize broken = QImage(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-16.png")).size();

        struct Row
        {
            const char *name;
            QStringList sources;
            QList<QSize> sizes;
            bool shared; // all sources share one decoded picture
        };
        QStringList names;
        for (int i = 1; i <= 200; ++i)
            names << d + QStringLiteral("big.png?%1").arg(i);
        const Row rows[] = {
            {"one file under 200 names", names, QList<QSize>(200, full), true},
            {"one file by other paths", {f("big.png"), f("./big.png"), QStringLiteral("file://") + f("big.png")},
             {full, full, full}, true},
            {"past the budget by its header", {f("huge.png"), f("big.png")}, {broken, full}, false},
            {"four files fill the budget", {f("big.png"), f("b.png"), f("c.png"), f("d.png"), f("big.png?again")},
             {full, full, full, full, full}, false},
            {"the fifth is over it", {f("big.png"), f("b.png"), f("c.png"), f("d.png"), f("huge.png?x")},
             {full, full, full, full, broken}, false},
        };
        for (const Row &row : rows) {
            SafeTextDocument doc;
            QString html = QStringLiteral("<b>pictures</b>");
            for (const QString &src : row.sources)
                html += QStringLiteral("<img src=\"%1\">").arg(src);
            doc.setHtml(html);
            doc.setTextWidth(400);
            doc.documentLayout()->documentSize();
            QList<QSize> sizes;
            QSet<qint64> pixmaps;
            for (const QString &src : row.sources) {
                sizes << pictureSize(doc, src);
                pixmaps << doc.resource(QTextDocument::ImageResource, QUrl(src)).value<QPixmap>().cacheKey();
            }
            QVERIFY2(sizes == row.sizes, row.name);
            if (row.shared)
                QVERIFY2(pixmaps.size() == 1, row.name);
        }
    }

    // Pictures given a size are read when drawn, not when laid out: a label must
    // have them read by the same rules before that.
    void labelPicturesShouldFollowTheSameRules()
    {
        installRichTextGuard();
        kivtest::Form form;
        QVERIFY(::mkfifo(qPrintable(form.dir.filePath(QStringLiteral("fifo"))), 0600) == 0);
        QImage big(2048, 2048, QImage::Format_Mono);
        big.fill(1);
        QVERIFY(big.save(form.dir.filePath(QStringLiteral("big.png"))));
        QByteArray html = "<b>pictures</b><img src=\"fifo\" width=10 height=10>";
        for (int i = 0; i < 50; ++i)
            html += "<img src=\"big.png?" + QByteArray::number(i) + "\" width=10 height=10>";
        writeFile(form.dir.filePath(QStringLiteral("text")), html);
        // A hang here is the fault: Qt's test watchdog ends it.
        QVERIFY(form.build("<f><label>cat text</label></f>"));
        QTRY_VERIFY(!form.window.grab().isNull());
        QTextDocument *doc = form.find<QLabel>()->findChild<QTextDocument *>();
        QVERIFY(doc);
        QCOMPARE(pictureSize(*doc, QStringLiteral("fifo")), QImage(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-16.png")).size());
        QSet<qint64> pixmaps;
        for (int i = 0; i < 50; ++i)
            pixmaps << doc->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("big.png?%1").arg(i))).value<QPixmap>().cacheKey();
        QCOMPARE(pixmaps.size(), 1);
    }

    void typedCharactersShouldStayCharacters_data()
    {
        QTest::addColumn<QByteArray>("mc");
        QTest::addColumn<QString>("typed");  // after End; "\b" erases a character, "\x01" goes Home, "\x02" cuts all and pastes it back
        QTest::addColumn<QByteArray>("expected");
        const QString escape80 = QString(QChar(0xF780));
        QTest::newRow("typed U+F780") << QByteArray("<f><text var=\"V\"/></f>") << QStringLiteral("a") + escape80 + QStringLiteral("b")
                                      << QByteArray("a\xef\x9e\x80" "b");
        QTest::newRow("decoded 0x80, unedited") << QByteArray("<f><text var=\"V\">printf 'a\\200b'</text></f>")
                                                << QString() << QByteArray("a\x80" "b");
        QTest::newRow("decoded 0x80, typed after") << QByteArray("<f><text var=\"V\">printf 'a\\200b'</text></f>")
                                                   << QStringLiteral("c") + escape80 << QByteArray("a\x80" "bc\xef\x9e\x80");
        QTest::newRow("decoded 0x80, erased and typed again") << QByteArray("<f><text var=\"V\">printf 'a\\200'</text></f>")
                                                              << QStringLiteral("\b") + escape80 << QByteArray("a\xef\x9e\x80");
        QTest::newRow("decoded 0x80, typed before") << QByteArray("<f><text var=\"V\">printf '\\200'</text></f>")
                                                    << QStringLiteral("\x01") + QChar(0xF781) << QByteArray("\xef\x9e\x81\x80");
        QTest::newRow("decoded 0xe9, pasted back") << QByteArray("<f><text var=\"V\">printf 'caf\\351'</text></f>")
                                                 << QStringLiteral("\x02") << QByteArray("caf\xe9");
        QTest::newRow("decoded escape sequence bytes") << QByteArray("<f><text var=\"V\">printf '\\357\\236\\200'</text></f>")
                                                       << QStringLiteral("x") << QByteArray("\xef\x9e\x80x");
    }

    void typedCharactersShouldStayCharacters()
    {
        QFETCH(QByteArray, mc);
        QFETCH(QString, typed);
        QFETCH(QByteArray, expected);
        kivtest::Form form;
        QVERIFY(form.build(mc));
        auto *edit = form.find<QLineEdit>();
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End);
        for (const QChar c : typed) {
            if (c == u'\x01') {
                QTest::keyClick(edit, Qt::Key_Home);
            } else if (c == u'\x02') {
                edit->selectAll();
                edit->cut();
                QCOMPARE(form.var(0), QByteArray(""));
                edit->paste();
            } else if (c == u'\b') {
                QTest::keyClick(edit, Qt::Key_Backspace);
            } else {
                kivtest::typeText(edit, QString(c));
            }
        }
        QCOMPARE(form.var(0), expected);
    }

    void pickedEntriesShouldKeepTheirBytes()
    {
        kivtest::Form form;
        QVERIFY(form.build("<f><combobox var=\"C\">printf 'a\\n\\377b\\n'</combobox></f>"));
        QComboBox *combo = form.find<QComboBox>();
        QVERIFY(combo);
        // Output shown in the logs meanwhile, line after line with bytes of its own,
        // must not make kiv forget which entries it decoded.
        for (int i = 0; i < 10000; ++i)
            form.handler.outputGathered(QByteArray::number(i) + "\xfe\n");
        combo->setCurrentIndex(1);
        QCOMPARE(form.var(0), QByteArray("\xff" "b"));
        combo->setCurrentIndex(0);
        QCOMPARE(form.var(0), QByteArray("a"));

        // However many entries a form decodes, the first one keeps its bytes.
        kivtest::Form many;
        QVERIFY(many.build(R"(<f><combobox var="C">printf '\377first\n'; for i in $(seq 5000); do printf 'x%s\376\n' $i; done</combobox></f>)"));
        QComboBox *entries = many.find<QComboBox>();
        QCOMPARE(entries->count(), 5001);
        entries->setCurrentIndex(5000);
        entries->setCurrentIndex(0);
        QCOMPARE(many.var(0), QByteArray("\xff" "first"));
    }
};

QTEST_MAIN(TestHostileText)
#include "tst_hostiletext.moc"
