#include "markup/Document.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

// Renders a tree compactly so one table row states a whole parse result:
// tag(children...) with attributes as @name=value and content as "text".
static QByteArray renderNode(const QByteArray &name, const OptText &content, const QList<QByteArray> &children)
{
    QByteArray out = name;
    if (content)
        out += "\"" + *content + "\"";
    if (!children.isEmpty())
        out += '(' + children.join(' ') + ')';
    return out;
}

static QByteArray render(const Element *e)
{
    if (!e)
        return "null";
    if (e->isAttribute())
        return '@' + e->name() + '=' + *e->content();
    QList<QByteArray> children;
    for (int i = 0; i < e->childCount(); ++i)
        children << render(e->child(i));
    return renderNode(e->name(), e->content(), children);
}

static QByteArray parseRender(const QByteArray &text)
{
    return render(parseDocumentText(text)->root());
}

// The reading rules applied literally, with no memory of earlier attempts:
// exponential on unclosed nesting, but a reference for small inputs. Gives the
// rendered element, or nothing when it never closes.
static std::optional<QByteArray> naiveParse(ScannedTag *tag, const char *text, qsizetype end)
{
    if (!tag)
        return std::nullopt;
    QList<QByteArray> children;
    if (tag->attributeText) {
        for (const auto &[name, value] : parseAttributes(*tag->attributeText))
            children << '@' + name + '=' + value;
    }
    if (tag->selfClosing)
        return renderNode(tag->name, std::nullopt, children); // the caller goes on after it
    const qsizetype attributes = children.size();
    qsizetype next = tag->next, endNext = 0;
    for (;;) {
        auto t = scanTag(text, next, end);
        if (!t)
            return std::nullopt;
        if (t->closing && t->name == tag->name) {
            endNext = t->next;
            break;
        }
        auto child = naiveParse(&*t, text, end);
        if (!child) {
            endNext = t->next;
            break;
        }
        children << *child;
        next = t->next;
    }
    OptText content;
    if (children.size() == attributes) {
        qsizetype stop = tag->next;
        bool quoted = false;
        for (; stop < end; ++stop) {
            if (text[stop] == '"')
                quoted = !quoted;
            else if (text[stop] == '<' && !quoted)
                break;
        }
        content = QByteArray(text + tag->next, stop - tag->next);
    }
    tag->next = endNext; // where the caller goes on
    return renderNode(tag->name, content, children);
}

class TestMarkup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void shouldParseLikeTheTable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("tree");
        QTest::newRow("self-closing") << QByteArray("<textlog/>") << QByteArray("textlog");
        QTest::newRow("self-closing with blank") << QByteArray("<textlog />") << QByteArray("textlog");
        QTest::newRow("slash then blank") << QByteArray("<br/ >") << QByteArray("br");
        QTest::newRow("empty content") << QByteArray("<x></x>") << QByteArray("x\"\"");
        QTest::newRow("content kept as written")
            << QByteArray("<label>\n  echo hi \n</label>") << QByteArray("label\"\n  echo hi \n\"");
        QTest::newRow("quoted < is text") << QByteArray("<label>echo \"a<b\"</label>")
                                          << QByteArray("label\"echo \"a<b\"\"");
        QTest::newRow("mixed text dropped") << QByteArray("<a>one<b/>two</a>") << QByteArray("a(b)");
        QTest::newRow("attributes with blanks")
            << QByteArray("<a x = \"1\"   y=\"2\"/>") << QByteArray("a(@x=1 @y=2)");
        QTest::newRow("unquoted value") << QByteArray("<a x=12 y=\"3\"></a>")
                                        << QByteArray("a\"\"(@x=12 @y=3)");
        QTest::newRow("empty value") << QByteArray("<a x=\"\"/>") << QByteArray("a(@x=)");
        QTest::newRow("> inside quotes") << QByteArray("<a x=\"1>2\"/>") << QByteArray("a(@x=1>2)");
        QTest::newRow("slash inside quotes") << QByteArray("<a x=\"/\">t</a>")
                                             << QByteArray("a\"t\"(@x=/)");
        QTest::newRow("one-char attribute text") << QByteArray("<a b/>") << QByteArray("a");
        QTest::newRow("flag attribute") << QByteArray("<a flag/>") << QByteArray("a(@flag=)");
        QTest::newRow("flag takes a later =") << QByteArray("<a flag y=\"1\"/>")
                                              << QByteArray("a(@flag=1)");
        QTest::newRow("unterminated quote runs to end") << QByteArray("<a x=\"abc />")
                                                        << QByteArray("null");
        QTest::newRow("tab does not end unquoted value") << QByteArray("<a x=1\t2 y=3/>")
                                                         << QByteArray("a(@x=1\t2 @y=3)");
        QTest::newRow("attributes before children")
            << QByteArray("<v w=\"1\"><label>x</label></v>") << QByteArray("v(@w=1 label\"x\")");
        QTest::newRow("same name nested") << QByteArray("<a><a>in</a></a>") << QByteArray("a(a\"in\")");
        QTest::newRow("stray closing tag") << QByteArray("<a><b>text</a>") << QByteArray("null");
        QTest::newRow("child never closed keeps siblings")
            << QByteArray("<r><a/><b>x</r>") << QByteArray("null");
        // </A> does not close a: it is taken for the start of an element A, which
        // swallows a's own closing tag, so a never closes.
        QTest::newRow("case-sensitive closing") << QByteArray("<a>x</A></a>") << QByteArray("null");
        QTest::newRow("comment is a tag") << QByteArray("<r><!-- note --/></r>") << QByteArray("r(!--(@note=))");
        QTest::newRow("open comment swallows the rest") << QByteArray("<r><!-- x --></r>") << QByteArray("null");
        QTest::newRow("carriage return joins the name")
            << QByteArray("<a\r\n x=\"1\"\r\n/>") << QByteArray("a\r(@x=1 @\r=)");
        QTest::newRow("text after root ignored") << QByteArray("<a/><b/>garbage<") << QByteArray("a");
        QTest::newRow("empty tag is no tag") << QByteArray("<>") << QByteArray("null");
        QTest::newRow("odd quote hides tags") << QByteArray("<a>say \"hi</a><b/>\"</a>")
                                              << QByteArray("a\"say \"hi</a><b/>\"\"");
        QTest::newRow("closing tag with blanks") << QByteArray("<a>x</ a >") << QByteArray("a\"x\"");
        QTest::newRow("nul bytes are ordinary") << QByteArray("<a>x\0y</a>", 11) << QByteArray("a\"x\0y\"", 6);
    }
    void shouldParseLikeTheTable()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, tree);
        QCOMPARE(parseRender(text), tree);
    }

    // Every element and attribute knows where it was written, in the file's own
    // lines: declarations before the root and recovery included.
    void shouldKnowWhereEachNodeStands_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<int>>("path"); // child indexes from the root
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        const QByteArray form("<?xml version=\"1.0\"?>\n<vlayout width=\"9\">\n\t<label\n   text=\"x\"/>\n</vlayout>\n");
        QTest::newRow("root after a declaration") << form << QList<int>{} << 2 << 1;
        QTest::newRow("attribute of the root") << form << QList<int>{0} << 2 << 10;
        QTest::newRow("child after a tab") << form << QList<int>{1} << 3 << 2;
        QTest::newRow("attribute on the next line") << form << QList<int>{1, 0} << 4 << 4;
        QTest::newRow("after UTF-8 text") << QByteArray("<a>\xc3\xa9\xc3\xa9<b/></a>") << QList<int>{0} << 1 << 6;
        QTest::newRow("in a form with a child that never closes")
            << QByteArray("<r>\n<x/>\n  <y k=1/>\n<a>\n") << QList<int>{1, 0} << 3 << 6;
    }
    void shouldKnowWhereEachNodeStands()
    {
        QFETCH(QByteArray, text);
        QFETCH(QList<int>, path);
        QFETCH(int, line);
        QFETCH(int, column);
        const std::unique_ptr<Document> doc = parseDocument(text);
        const Element *e = doc->root();
        for (int i : path)
            e = e ? e->child(i) : nullptr;
        QVERIFY(e);
        const TextPosition at = doc->position(e);
        QCOMPARE(at.line, line);
        QCOMPARE(at.column, column);
    }

    void shouldScanTagFields()
    {
        const QByteArray t("xx< / name  a=\"1\" />yy");
        auto tag = scanTag(t.constData(), 0, t.size());
        QVERIFY(tag);
        QCOMPARE(tag->name, QByteArray("name"));
        QVERIFY(tag->closing);
        QVERIFY(tag->selfClosing);
        QCOMPARE(*tag->attributeText, QByteArray("a=\"1\" "));
        QCOMPARE(tag->next, t.indexOf("yy"));
        QVERIFY(!scanTag(t.constData(), 0, 5));
        QVERIFY(!scanTag("<a x=\">\"", 0, 8));
    }

    void shouldKeepParentWhenChildNeverCloses()
    {
        // The unclosed b ends a's body early; a takes the text up to b as content
        // and its caller goes on after b's opening tag.
        auto doc = parseDocumentText("<r><a>t<b>u</r></r>");
        QCOMPARE(render(doc->root()), QByteArray("r(a\"t\")"));
    }

    void shouldRefuseNestingDeeperThanTheCap()
    {
        auto nested = [](int depth) -> QByteArray {
            return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
        };
        auto ok = parseDocumentText(nested(kMaxNesting));
        QVERIFY(ok->root());
        auto deep = parseDocumentText(nested(kMaxNesting + 1));
        QVERIFY(!deep->root());
        QVERIFY(deep->error().contains(QStringLiteral("1000")));
        auto huge = parseDocumentText(QByteArray("<a>").repeated(1000001));
        QVERIFY(!huge->root());
        // Unclosed nesting below the cap makes every level rescan what its child
        // left; this must stay fast rather than grow exponentially.
        auto unclosed = parseDocumentText(QByteArray("<a>").repeated(kMaxNesting));
        QVERIFY(unclosed->root());
        auto odd = parseDocumentText(QByteArray("<a>").repeated(kMaxNesting - 1));
        QVERIFY(!odd->root());
    }

    void shouldMatchTheLiteralRulesOnRandomTags_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("longest");
        QTest::newRow("two names") << QByteArrayList{"<a>", "</a>", "<b>", "</b>", "<c/>", "x", "<a k=\"v\">", "\""}
                                   << 3000 << 24;
        // Closing tags of names never opened, self-closing closing tags, and "<>",
        // after which no tag is found.
        QTest::newRow("stray and odd tags")
            << QByteArrayList{"<a>", "</a>", "<b>", "</b>", "</c>", "<c/>", "</a/>", "<d x=\"<a>\">", "t", "\"",
                              "<a>", "</b>", "<>"}
            << 4000 << 40;
    }
    void shouldMatchTheLiteralRulesOnRandomTags()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(int, rounds);
        QFETCH(int, longest);
        quint32 seed = 99;
        for (int round = 0; round < rounds; ++round) {
            QByteArray text("<a>");
            const int n = 1 + round % longest;
            for (int i = 0; i < n; ++i) {
                seed = seed * 1103515245u + 12345u;
                text += pieces[(seed >> 16) % pieces.size()];
            }
            auto tag = scanTag(text.constData(), 0, text.size());
            const QByteArray expected = naiveParse(&*tag, text.constData(), text.size()).value_or("null");
            QCOMPARE(parseRender(text), expected);
        }
    }

    void shouldSurviveGarbage()
    {
        QByteArray bytes;
        quint32 seed = 12345;
        for (int round = 0; round < 200; ++round) {
            bytes.clear();
            for (int i = 0; i < 300; ++i) {
                seed = seed * 1103515245u + 12345u;
                static const char alphabet[] = "<>/\"= \tab\n?x\0";
                bytes += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
            }
            auto doc = parseDocumentText(bytes);
            QVERIFY(doc);
        }
    }

    // Nested tab widgets and scroll areas cost Qt far more than layouts: they
    // count as several levels of the limit.
    void shouldWeighNesting_data()
    {
        QTest::addColumn<QByteArrayList>("chain");
        QTest::addColumn<bool>("taken");
        auto repeat = [](const QByteArray &tag, int n) {
            QByteArrayList list;
            for (int i = 0; i < n; ++i)
                list << tag;
            return list;
        };
        QTest::newRow("999 layouts") << repeat("vlayout", 999) << true;
        QTest::newRow("1000 layouts") << repeat("vlayout", 1000) << false;
        QTest::newRow("99 tabs in a layout") << QByteArrayList{"vlayout"} + repeat("tab", 99) << true;
        QTest::newRow("100 tabs in a layout") << QByteArrayList{"vlayout"} + repeat("tab", 100) << false;
        QTest::newRow("199 scroll areas") << repeat("scrolllayout", 199) << true;
        QTest::newRow("200 scroll areas") << repeat("scrolllayout", 200) << false;
        QTest::newRow("mixed, just over") << repeat("tab", 50) + repeat("scrolllayout", 90) + repeat("hlayout", 50)
                                         << false;
    }
    void shouldWeighNesting()
    {
        QFETCH(QByteArrayList, chain);
        QFETCH(bool, taken);
        QByteArray text;
        for (const QByteArray &tag : chain)
            text += '<' + tag + '>';
        text += "<label/>";
        for (qsizetype i = chain.size(); i-- > 0;)
            text += "</" + chain[i] + '>';
        ReadDetails details;
        const std::unique_ptr<Document> doc = parseDocumentText(text, &details);
        QCOMPARE(doc->root() != nullptr, taken);
        QCOMPARE(details.tooDeepAt >= 0, !taken);
        if (!taken) {
            QVERIFY2(doc->error().startsWith(QStringLiteral("elements nested deeper than 1000 levels on line 1")),
                     qPrintable(doc->error()));
            QVERIFY(std::none_of(details.tags.begin(), details.tags.end(),
                                 [](const TagRecord &t) { return t.inTree; }));
        }
    }

    void shouldLoadFilesAndTellFailuresApart()
    {
        QTemporaryDir dir;
        auto write = [&](const char *name, const QByteArray &data) {
            QFile f(dir.filePath(QString::fromUtf8(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        };
        write("decl.mc", "junk <?xml version=\"1.0\"?>\n<?other?>\n<label>echo hi</label>");
        write("only-decl.mc", "<?xml version=\"1.0\"?>\n");
        write("unclosed.mc", "<?xml?>\n\n<vlayout>\n<label>x</label>\n");
        write("long.mc", "<label>" + QByteArray(20000, 'x') + "</label>");

        QString error;
        auto doc = loadDocument(QFile::encodeName(dir.filePath(QStringLiteral("decl.mc"))), &error);
        QVERIFY(doc && doc->root());
        QCOMPARE(render(doc->root()), QByteArray("label\"echo hi\""));

        QVERIFY(!loadDocument(QFile::encodeName(dir.filePath(QStringLiteral("only-decl.mc"))), &error));
        QCOMPARE(error, QStringLiteral("no element found"));

        QVERIFY(!loadDocument(QFile::encodeName(dir.filePath(QStringLiteral("missing.mc"))), &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));

        QVERIFY(!loadDocument(QFile::encodeName(dir.path()), &error));
        QCOMPARE(error, QStringLiteral("Is a directory"));

        doc = loadDocument(QFile::encodeName(dir.filePath(QStringLiteral("unclosed.mc"))), &error);
        QVERIFY(doc && !doc->root());
        QCOMPARE(error, QStringLiteral("element <vlayout> opened on line 3 is never closed"));

        doc = loadDocument(QFile::encodeName(dir.filePath(QStringLiteral("long.mc"))), &error);
        QCOMPARE(doc->root()->content()->size(), 20000);

        // Paths that are no regular file are refused at once: a FIFO without a
        // writer would block the open, a device never ends.
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo.mc")));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        // Sparse: larger than any form may be, without taking the space.
        const QByteArray big = QFile::encodeName(dir.filePath(QStringLiteral("big.mc")));
        {
            QFile f(QFile::decodeName(big));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(3) << 30));
        }
        const std::pair<QByteArray, QString> refused[] = {
            {fifo, QStringLiteral("Is a named pipe (FIFO): kiv reads forms only from regular files")},
            {"/dev/zero", QStringLiteral("Is a device: kiv reads forms only from regular files")},
            {big, QStringLiteral("File too large: a form may hold at most 2147483647 bytes")},
        };
        for (const auto &[path, why] : refused) {
            QVERIFY(!loadDocument(path, &error));
            QCOMPARE(error, why);
        }

        // A Latin-1 file name opens: paths are bytes.
        const QByteArray latin1 = QFile::encodeName(dir.path()) + "/caf\xe9.mc";
        QFile raw;
        QVERIFY(raw.open(::fopen(latin1.constData(), "w"), QIODevice::WriteOnly, QFile::AutoCloseHandle));
        raw.write("<label>echo hi</label>");
        raw.close();
        doc = loadDocument(latin1, &error);
        ::unlink(latin1.constData());
        QVERIFY(doc && doc->root());
    }
};

QTEST_APPLESS_MAIN(TestMarkup)
#include "tst_markup.moc"
