#include "app/FormChecker.h"
#include "app/frmMain.h"
#include "builder/Builders.h"
#include "builder/KnownTags.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <map>
#include <set>

namespace {

// "LINE:COLUMN: kind: message" for every diagnostic, notes after their own.
QByteArrayList lines(const CheckedForm &form)
{
    QByteArrayList out;
    const QByteArray all = formatDiagnostics("f.mc", form);
    for (const QByteArray &line : all.split('\n')) {
        if (!line.isEmpty())
            out << line.mid(5); // without "f.mc:"
    }
    return out;
}

// Which attributes each element asked for while being built.
std::map<QByteArray, std::set<QByteArray>> g_reads;
void recordRead(const Element *element, const char *name) { g_reads[element->name()].insert(name); }

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each row: a form, and every line that kiv --check prints for it, in order,
    // as "LINE:COLUMN: kind: part of the message".
    void shouldFindMistakesWithTheirPlaces_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArrayList>("expected");
        auto row = [](const char *name, const QByteArray &text, const QByteArrayList &expected) {
            QTest::newRow(name) << text << expected;
        };
        row("clean, with a remark", "<?xml version=\"1.0\"?>\n<vlayout>\n  <label text=\"hi\"/>\n"
                                    "  <note text=\"for later\"><whatever/></note>\n</vlayout>\n",
            {});
        row("no tag", "just text\n", {"1:1: error: no element found"});
        row("inner element left open", "<vlayout>\n  <label>a\n  <label>b</label>\n</vlayout>\n",
            {"2:3: error: <label> is never closed; </vlayout> on line 4 closes the element around it"});
        row("misspelt closing tag", "<vlayout>\n<hlayout>\n<label/>\n</hlayot>\n</vlayout>\n",
            {"2:1: error: <hlayout> is never closed; </vlayout> on line 5",
             "2:1: note: the reader leaves this <hlayout> and the element after it (line 3) out of the form",
             "4:1: error: closing tag </hlayot> does not match <hlayout> on line 2 (did you mean </hlayout>?)",
             "4:1: note: the reader takes it for the start of an element <hlayot>"});
        row("stray closing tag", "<vlayout>\n</label>\n</vlayout>\n",
            {"2:1: error: closing tag </label> does not match <vlayout> on line 1",
             "2:1: note: the reader takes it"});
        row("left open at the end", "<vlayout>\n<hlayout>\n<label/>\n",
            {"2:1: error: <hlayout> is never closed", "1:1: note: <vlayout> opened here is not closed either",
             "2:1: note: the reader leaves this <hlayout> and the element after it (line 3) out of the form"});
        row("unterminated quote", "<vlayout>\n<label text=\"abc/>\n</vlayout>\n",
            {"1:1: error: <vlayout> is never closed", "2:13: error: unterminated quoted value",
             "2:1: note: the tag starts here"});
        row("no tag after <>", "<vlayout><></vlayout>", {"1:1: error: <vlayout> is never closed",
                                                        "1:10: error: '<' followed by '>' is no tag"});
        row("nesting over the limit", QByteArray("<a>").repeated(1001),
            {"1:3001: error: elements nested deeper than 1000 levels", "1:3001: error: <a> is never closed",
             "1:2998: note: <a> opened here is not closed either", "1:2995: note: <a>", "1:2992: note: <a>",
             "1:2992: note: and 997 more elements around it are not closed either"});
        row("unknown tag", "<vlayout>\n<buton title=\"Go\"/>\n</vlayout>\n",
            {"2:1: warning: unknown tag <buton> (did you mean <button>?)"});
        row("icon outside a list", "<vlayout><icon/></vlayout>", {"1:10: warning: unknown tag <icon>: icons are"});
        row("unknown attribute", "<label txt=\"x\"/>",
            {"1:8: warning: <label> has no attribute 'txt' (did you mean 'text'?)"});
        row("attribute no tag reads", "<textlog var=\"X\"/>", {"1:10: warning: <textlog> has no attribute 'var'; "
                                                              "it reads format, width and height"});
        row("dropped text", "<vlayout>\n<label/>stray\n</vlayout>", {"2:9: warning: this text is dropped"});
        row("text nothing reads", "<textlog>echo hi</textlog>", {"1:1: warning: <textlog> does not use the text"});
        row("elements after the root", "<label/>\n<label/>\n",
            {"2:1: warning: elements after the end of the root element <label> (line 1)"});
        row("comment", "<vlayout>\n<!-- x --/>\n</vlayout>", {"2:1: warning: kiv's format has no comments"});
        row("comment left open", "<vlayout>\n<!-- x -->\n</vlayout>",
            {"2:1: error: '<!--' opens an element named '!--' that is never closed (kiv's format has no comments)"});
        row("comment around an open label", "<vlayout>\n<!-- x -->\n<label>echo\n</vlayout>",
            {"2:1: note: the reader leaves this <!--> and the element after it (line 3) out of the form",
             "3:1: error: <label> is never closed", "2:1: note: '<!--' here opens an element named '!--' that is not "
                                                    "closed either (kiv's format has no comments)"});
        row("quote ends a value early", "<button onclick=\"echo \"hi\"\"/>",
            {"1:23: warning: this double quote ends the value of 'onclick' early (the value is \"echo \")"});
        row("quote hides the closing tag", "<vlayout>\n<label>echo \"hi</label>\n</vlayout>\n",
            {"2:1: error: <label> is never closed", "1:1: note: <vlayout> opened here is not closed either",
             "2:1: note: the reader leaves this <label> out of the form",
             "2:13: warning: this double quote hides </label> on line 2"});
        row("shell < taken for a tag", "<vlayout>\n<label>sort < in.txt</label>\n</vlayout>\n",
            {"2:1: note: the reader leaves this <label> and the element after it (line 2) out of the form",
             "2:13: error: <in.txt</label> is never closed; </vlayout> on line 3", "2:1: note: <label> opened here",
             "2:13: warning: this '<' is read as the start of a tag named 'in.txt</label'"});
        row("'=' of another attribute", "<label flag text=\"x\"/>",
            {"1:8: warning: 'flag' has no '=' of its own", "1:8: warning: <label> has no attribute 'flag'"});
        row("attribute twice", "<label text=\"a\" text=\"b\"/>", {"1:17: warning: 'text' is given twice"});
        row("variable names", "<vlayout><text var=\"my-name\"/><text var=\"IFS\"/><text var=\"UID\"/>"
                              "<text var=\"KIV_MY_PID\"/></vlayout>",
            {"1:16: warning: \"my-name\" is not a shell variable name", "1:37: warning: IFS means something to bash",
             "1:54: warning: UID is read-only in bash", "1:71: warning: KIV_MY_PID is kiv's own variable"});
        row("variable bound twice", "<vlayout>\n<text var=\"A\"/>\n<checkbox var=\"A\"/>\n</vlayout>",
            {"3:11: note: A is bound again here (before on line 2)"});
        row("picture nowhere", "<img src=\"no-such-picture.png\"/>",
            {"1:6: warning: picture \"no-such-picture.png\" is found neither"});
        row("values read by their first letter", "<vlayout><file mode=\"x\"/><iconlist mode=\"grid\"/></vlayout>",
            {"1:16: warning: mode \"x\" changes nothing", "1:36: warning: mode \"grid\" changes nothing"});
        row("sizes", "<label width=\"wide\" height=\" 20px\"/>", {"1:8: warning: width \"wide\" does not begin"});
        row("tab without title", "<vlayout><tab><label/></tab></vlayout>", {"1:10: warning: <tab> without a title"});
        row("child not used", "<label><button/></label>", {"1:8: warning: <label> does not use a child <button>"});
        row("container attribute built", "<vlayout text=\"x\" widht=\"3\"/>",
            {"1:10: warning: the attribute 'text' of <vlayout> is built as a <text> element",
             "1:19: warning: <vlayout> has no attribute 'widht' (did you mean 'width'?)"});
        // Columns count characters: two letters of two bytes each come before it.
        row("column in characters", "<label>\xc3\xa9\xc3\xa9<buton/></label>",
            {"1:8: warning: this text is dropped: text beside child elements belongs to no element (\"\xc3\xa9\xc3\xa9\")",
             "1:10: warning: <label> does not use a child <buton>"});
    }
    void shouldFindMistakesWithTheirPlaces()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArrayList, expected);
        const QByteArrayList found = lines(checkFormText(text));
        QVERIFY2(found.size() == expected.size(), found.join('\n').constData());
        for (qsizetype i = 0; i < found.size(); ++i)
            QVERIFY2(found[i].startsWith(expected[i]), QByteArray(found[i] + "\n  expected: " + expected[i]).constData());
    }

    void shouldCheckEveryShippedFormClean_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *dir : {KIV_SOURCE_DIR "/examples", KIV_SOURCE_DIR "/docs/examples"}) {
            const QDir d(QString::fromUtf8(dir));
            for (const QString &f : d.entryList({QStringLiteral("*.mc")}, QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(d.dirName() + QLatin1Char('/') + f)) << d.filePath(f);
        }
    }
    void shouldCheckEveryShippedFormClean()
    {
        QFETCH(QString, path);
        // Pictures are looked up from the current directory, then in the icons
        // directory; the build stages that directory beside kiv, in kiv-data/icons.
        const QString links = QFileInfo(qEnvironmentVariable("KIV_BINARY")).path() + QStringLiteral("/kiv-data/icons");
        if (!QFileInfo::exists(links + QStringLiteral("/folder.png")))
            QSKIP("the icon theme that the icons directory links to is not installed");
        const QString old = QDir::currentPath();
        QDir::setCurrent(links);
        const CheckedForm form = checkFormFile(QFile::encodeName(path));
        QDir::setCurrent(old);
        QVERIFY2(form.diagnostics.empty(), formatDiagnostics(QFile::encodeName(path), form).constData());
    }

    // The table that --check reads is the one the builders dispatch by; this keeps
    // its attribute lists true to what each builder asks for.
    void shouldKnowWhatEveryBuilderReads()
    {
        frmMain window;
        auto *layout = new QVBoxLayout(&window);
        MEnvVar store;
        setVariableStore(&store);
        setRunnerStore(&store);
        setAttributeReadObserver(recordRead);
        auto build = [&](const QByteArray &text) {
            g_reads.clear();
            const std::unique_ptr<Document> doc = parseDocumentText(text);
            buildElement(&window, doc->root(), layout);
        };
        auto expected = [](const KnownTag &tag) {
            std::set<QByteArray> names;
            for (const char *const *a = tag.attributes; *a; ++a)
                names.insert(*a);
            return names;
        };
        for (const KnownTag &tag : knownTags()) {
            build(QByteArray("<") + tag.name + "/>");
            std::set<QByteArray> reads = g_reads[tag.name];
            if (QByteArrayView(tag.name) == "tab")
                reads.insert("title"); // taken out by name, not looked up
            QVERIFY2(reads == expected(tag), tag.name);
            // Every element that reads its content as a command also reads code.
            QCOMPARE(reads.count("code") == 1, tag.has(KnownTag::RunsContent) || tag.has(KnownTag::ClickCommand));
        }
        build("<iconlist><icon/></iconlist>");
        QVERIFY(g_reads["icon"] == expected(iconEntryTag()));
        // config is built, not read: its child is.
        build("<config><label/></config>");
        QVERIFY(g_reads.count("label"));
        for (const char *other : {"Label", "note", "icon", "buton"}) {
            build(QByteArray("<") + other + " text=\"x\"/>");
            QVERIFY2(g_reads.empty(), other);
        }
        setAttributeReadObserver(nullptr);
        setVariableStore(nullptr);
        setRunnerStore(nullptr);
    }

    void shouldSummarizeForStartUp()
    {
        QCOMPARE(startupSummary("f.mc", checkFormText("<label/>")), QByteArray());
        QCOMPARE(startupSummary("my form.mc", checkFormText("<label txt=\"x\"/>")),
                 QByteArray("kiv: my form.mc: 1 warning; kiv --check 'my form.mc' shows it\n"));
        QCOMPARE(startupSummary("f.mc", checkFormText("<vlayout>\n<buton/>\n<text var=\"A\"/>\n<text var=\"A\"/>\n"
                                                      "<label>\n")),
                 QByteArray("kiv: f.mc: 1 error, 1 warning, 3 notes; kiv --check f.mc shows them\n"));
        QCOMPARE(shellQuoted("it's.mc"), QByteArray("'it'\\''s.mc'"));
        QCOMPARE(shellQuoted("/a/b-c_1.mc"), QByteArray("/a/b-c_1.mc"));
    }

    void shouldReportUnreadableFilesAsErrors()
    {
        QTemporaryDir dir;
        const QByteArray missing = QFile::encodeName(dir.filePath(QStringLiteral("missing.mc")));
        const CheckedForm form = checkFormFile(missing);
        QCOMPARE(lines(form), QByteArrayList{"1:1: error: cannot read the file: No such file or directory"});
        QCOMPARE(checkFiles({missing}, stdout), 1);
    }
};

QTEST_MAIN(TestCheck)
#include "tst_check.moc"
