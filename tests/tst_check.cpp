#include "builder/FormChecker.h"
#include "app/frmMain.h"
#include "builder/Builders.h"
#include "builder/KnownTags.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "widgets/WidgetSetup.h"

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
        row("two as close: the one that starts alike", "<vlayout><tabel/></vlayout>",
            {"1:10: warning: unknown tag <tabel> (did you mean <table>?)"});
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
        // Numbers and pickers
        row("number values", "<vlayout><number text=\"150\" max=\"20\"/><slider min=\"10\" max=\"0\" step=\"0\" "
                             "decimals=\"1.5\"/></vlayout>",
            {"1:18: warning: text \"150\" is outside 0 to 20: the value starts at 20",
             "1:47: warning: min 10 is greater than max 0: the two are swapped",
             "1:64: warning: step \"0\" is not a number greater than 0: 1 is used",
             "1:73: warning: decimals \"1.5\" is not a whole number: 0 is used"});
        row("number limits", "<vlayout><slider decimals=\"12\" max=\"1e12\"/><number decimals=\"2\" step=\"0.001\"/>"
                             "</vlayout>",
            {"1:18: warning: decimals \"12\" is outside 0 to 9: 9 is used",
             "1:32: warning: max \"1e12\" is beyond what this element can hold: 2.147483647 is used",
             "1:65: warning: step \"0.001\" is finer than 2 decimals show: 0.01 is used"});
        // Only what is written as an attribute can be judged without running it.
        row("number values from commands", "<vlayout><number text=\"$(echo 5)\" min=\"x\"/><number max=\"5\">echo 50"
                                           "</number><number><min>echo 9</min><text>3</text></number></vlayout>",
            {"1:35: warning: min \"x\" is not a number: 0 is used"});
        row("dates", "<vlayout><date format=\"\"/><date format=\"'day'\"/><date format=\"dd.MM.yyyy\" "
                     "text=\"2026-12-08\"/><date format=\"dd.MM.yyyy\" text=\"08.12.2026\"/>"
                     "<date format=\"Date: d\" text=\"1\"/><date format=\"'Date:' d\" text=\"Date: 1\"/></vlayout>",
            {"1:16: warning: format is empty: yyyy-MM-dd is used",
             "1:33: warning: format \"'day'\" has no day (d), month (M) or year (y)",
             "1:75: warning: text \"2026-12-08\" is no date in the format dd.MM.yyyy",
             "1:145: warning: format \"Date: d\" has time letters (h, m, s, a, t, z)",
             "1:162: warning: text \"1\" is no date in the format yyyy-MM-dd"});
        row("colours", "<vlayout><color text=\"#12345\"/><color text=\"Steel Blue\"/><color text=\"x\">echo red</color>"
                       "</vlayout>",
            {"1:17: warning: text \"#12345\" is no colour"});
        row("tab without title", "<vlayout><tab><label/></tab></vlayout>", {"1:10: warning: <tab> without a title"});
        row("child not used", "<label><button/></label>", {"1:8: warning: <label> does not use a child <button>: only"});
        row("misspelt attribute of every element", "<button refrsh=\"x\"/>",
            {"1:9: warning: <button> has no attribute 'refrsh' (did you mean 'refresh'?)"});
        row("misspelt child attribute", "<slider var=\"S\"><enabeld>echo 1</enabeld></slider>",
            {"1:17: warning: <slider> does not use a child <enabeld> (did you mean <enabled>?)"});
        row("misspelt entry", "<iconlist var=\"I\"><icn text=\"x\"/></iconlist>",
            {"1:19: warning: <iconlist> does not use a child <icn> (did you mean <icon>?)"});
        row("unknown child of an input", "<slider var=\"S\"><zzz>echo 1</zzz></slider>",
            {"1:17: warning: <slider> does not use a child <zzz>: a child element here gives an attribute"});
        row("container attribute built", "<vlayout text=\"x\" widht=\"3\"/>",
            {"1:10: warning: the attribute 'text' of <vlayout> is built as a <text> element",
             "1:19: warning: <vlayout> has no attribute 'widht' (did you mean 'width'?)"});
        row("title of the window", "<vlayout title=\"T\">\n<title>echo T</title>\n<label/>\n</vlayout>\n", {});
        row("title of a label as root", "<label title=\"T\"><title>echo T</title><code>echo hi</code></label>", {});
        // One run lists the mistakes inside what the reader leaves out too.
        row("mistakes inside a dropped element",
            "<vlayout>\n<hlayout>\n<buton/>\n<label txt=\"x\"/>\n</hlayot>\n</vlayout>\n",
            {"2:1: error: <hlayout> is never closed", "2:1: note: the reader leaves this <hlayout> and the 2 elements",
             "3:1: warning: unknown tag <buton> (did you mean <button>?)",
             "4:8: warning: <label> has no attribute 'txt' (did you mean 'text'?)",
             "5:1: error: closing tag </hlayot> does not match <hlayout>", "5:1: note: the reader takes it"});
        row("mistakes inside a form that cannot open", "<vlayout>\n<labl/>\n<hlayout>\n<label/>\n",
            {"2:1: warning: unknown tag <labl>", "3:1: error: <hlayout> is never closed",
             "1:1: note: <vlayout> opened here", "3:1: note: the reader leaves this <hlayout>"});
        // A caption shares Alt+letter with the window's own and with the captions of
        // its tab bar, never with another page.
        row("one Alt letter twice", "<vlayout>\n<button title=\"&Save\"/>\n<checkbox var=\"S\" text=\"&sync\"/>\n"
                                    "<tab title=\"&Go\"><button text=\"&go\"/><button title=\"&Run\"/></tab>\n"
                                    "<tab title=\"&Next\"><button title=\"&Run\"/><button title=\"&&Go\"/>"
                                    "<checkbox var=\"R\" text=\"&Go\">echo \"&Run\"</checkbox></tab>\n"
                                    "<label text=\"&Save\"/>\n<button title=\"\" text=\"&Next\"/>\n</vlayout>\n",
            {"3:19: warning: Alt+S is also the shortcut of \"&Save\" on line 2",
             "4:26: warning: Alt+G is also the shortcut of \"&Go\" on line 4",
             "7:18: warning: Alt+N is also the shortcut of \"&Next\" on line 5"});
        row("sizes out of range", "<label width=\"99999999999\" height=\"-4\"/>",
            {"1:8: warning: width \"99999999999\" is outside 0 to 16384 pixels: 16384 is used",
             "1:28: warning: height \"-4\" is outside 0 to 16384 pixels: 0 is used"});
        row("attribute flood", "<label" + QByteArray(" x=\"1\"").repeated(100000) + "/>",
            {"1:8: warning: <label> has no attribute 'x'", "1:14: warning: 'x' is given 100000 times in this tag"});
        row("huge tag name", "<vlayout><" + QByteArray(1 << 20, 'a') + "/></vlayout>",
            {"1:10: warning: unknown tag <" + QByteArray(60, 'a') + "...>"});
        row("tabs too deep", "<vlayout>" + QByteArray("<tab title=\"t\">").repeated(100) + "<label/>"
                                 + QByteArray("</tab>").repeated(100) + "</vlayout>",
            {"1:1495: error: elements nested deeper than 1000 levels (counting a <tab> as 10"});
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
        QVERIFY2(found.size() == expected.size(), found.join('\n').left(4000).constData());
        for (qsizetype i = 0; i < found.size(); ++i) {
            QVERIFY2(found[i].startsWith(expected[i]), QByteArray(found[i] + "\n  expected: " + expected[i]).constData());
            // Names and texts from the form are cut to stay readable.
            QVERIFY2(found[i].size() < 400, found[i].left(400).constData());
        }
    }

    // Each row: a form with the attributes that make it change after it opens,
    // and what --check says about their values. Whether the tag table lists
    // them is another concern: those lines are left out.
    void shouldCheckLiveAttributes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArrayList>("expected");
        auto row = [](const char *name, const QByteArray &text, const QByteArrayList &expected) {
            QTest::newRow(name) << text << expected;
        };
        row("targets found", "<vlayout>\n<text var=\"SRC\" refresh=\" go\tSRC \"/>\n<button id=\"go\" every=\"0.1\" "
                             "exit=\"0\"/>\n<button title=\"b\" exit=\" 125 \"><exit>999</exit></button>\n</vlayout>\n",
            {});
        row("target names nothing", "<vlayout>\n<text var=\"SRC\" refresh=\"SCR nothing\"/>\n</vlayout>\n",
            {"2:26: error: refresh target \"SCR\" names nothing: no bound widget has this var and no element this id "
             "(did you mean \"SRC\"?)",
             "2:30: error: refresh target \"nothing\" names nothing"});
        row("a global is no widget", "<vlayout>\n<global var=\"G\">echo</global>\n<label refresh=\"G\"/>\n</vlayout>\n",
            {"3:17: error: refresh target \"G\" names nothing"});
        row("id used twice", "<vlayout>\n<label id=\"a\"/>\n<img id=\"a\"/>\n<label refresh=\"a\"/>\n</vlayout>\n",
            {"3:6: error: id \"a\" is used twice", "2:8: note: \"a\" is first used here"});
        row("every", "<vlayout>\n<label every=\"0.05\">date</label>\n<label every=\"soon\">date</label>\n"
                     "<label every=\"1.5\">date</label>\n</vlayout>\n",
            {"2:8: error: every \"0.05\" is below 0.1 seconds", "3:8: error: every \"soon\" is not a number of seconds"});
        row("exit", "<vlayout>\n<button exit=\"126\"/>\n<button exit=\"-1\"/>\n<button exit=\"2.5\"/>\n"
                    "<label exit=\"300\"/>\n</vlayout>\n",
            {"2:9: error: exit \"126\" is no whole number from 0 to 125", "3:9: error: exit \"-1\" is no whole number",
             "4:9: error: exit \"2.5\" is no whole number"});
        row("enabled on no widget", "<vlayout enabled=\"0\">\n<config visible=\"0\"/>\n<button enabled=\"0\"/>\n</vlayout>\n",
            {"1:10: warning: <vlayout> is no widget: 'enabled' changes nothing",
             "2:9: warning: <config> is no widget: 'visible' changes nothing"});
    }
    void shouldCheckLiveAttributes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArrayList, expected);
        QByteArrayList found;
        for (const QByteArray &line : lines(checkFormText(text))) {
            if (!line.contains("has no attribute") && !line.contains("does not use a child"))
                found << line;
        }
        QVERIFY2(found.size() == expected.size(), found.join('\n').constData());
        for (qsizetype i = 0; i < found.size(); ++i)
            QVERIFY2(found[i].startsWith(expected[i]), QByteArray(found[i] + "\n  expected: " + expected[i]).constData());
    }

    // Every form file shipped, and every xml example of the guide.
    void shouldCheckEveryShippedFormClean_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("text");
        for (const char *dir : {KIV_SOURCE_DIR "/examples", KIV_SOURCE_DIR "/docs/examples"}) {
            const QDir d(QString::fromUtf8(dir));
            for (const QString &f : d.entryList({QStringLiteral("*.mc")}, QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(d.dirName() + QLatin1Char('/') + f)) << d.filePath(f) << QByteArray();
        }
        QFile guide(QStringLiteral(KIV_SOURCE_DIR "/docs/guide.md"));
        QVERIFY(guide.open(QIODevice::ReadOnly));
        const QByteArrayList lines = guide.readAll().split('\n');
        int examples = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i] != "```xml")
                continue;
            QByteArray block;
            const qsizetype first = i + 1;
            while (++i < lines.size() && lines[i] != "```")
                block += lines[i] + '\n';
            QTest::newRow(qPrintable(QStringLiteral("guide.md:%1").arg(first + 1))) << QString() << block;
            ++examples;
        }
        QVERIFY(examples > 10);
    }
    void shouldCheckEveryShippedFormClean()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, text);
        // Pictures are looked up from the current directory, then in the icons
        // directory; the build stages that directory beside kiv, in kiv-data/icons.
        const QString links = QFileInfo(qEnvironmentVariable("KIV_BINARY")).path() + QStringLiteral("/kiv-data/icons");
        if (!QFileInfo::exists(links + QStringLiteral("/folder.png")))
            QSKIP("the icon theme that the icons directory links to is not installed");
        const QString old = QDir::currentPath();
        QDir::setCurrent(links);
        const CheckedForm form = path.isEmpty() ? checkFormText(text) : checkFormFile(QFile::encodeName(path));
        QDir::setCurrent(old);
        QVERIFY2(form.diagnostics.empty(), formatDiagnostics(QFile::encodeName(path), form).constData());
    }

    // The table that --check reads is the one the builders dispatch by; this keeps
    // its attribute lists true to what each builder asks for.
    void shouldKnowWhatEveryBuilderReads()
    {
        frmMain window;
        auto *layout = new QVBoxLayout(&window);
        FormSession session;
        session.setReadObserver(recordRead);
        auto build = [&](const QByteArray &text) {
            g_reads.clear();
            const std::unique_ptr<Document> doc = parseDocumentText(text);
            buildElement(session, doc->root(), layout);
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
    }

    // Qt cannot lay out larger widgets, and on some platforms fails to show them.
    void shouldClampSizes_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("in range") << QByteArray("200px") << 200;
        QTest::newRow("largest") << QByteArray("16384") << 16384;
        QTest::newRow("huge") << QByteArray("99999999999") << 16384;
        QTest::newRow("negative") << QByteArray("-20") << 0;
    }
    void shouldClampSizes()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        const std::unique_ptr<Document> doc =
            parseDocumentText("<label width=\"" + value + "\" height=\"" + value + "\"/>");
        QWidget widget;
        FormSession session;
        applySizeAttributes(session, doc->root(), &widget);
        QCOMPARE(widget.minimumWidth(), expected);
        QCOMPARE(widget.minimumHeight(), expected);
    }

    void shouldSummarizeForStartUp()
    {
        QCOMPARE(startupSummary("f.mc", checkFormText("<label/>")), QByteArray());
        QCOMPARE(startupSummary("my form.mc", checkFormText("<label txt=\"x\"/>")),
                 QByteArray("kiv: my form.mc: 1 warning; kiv --check 'my form.mc' shows it\n"));
        QCOMPARE(startupSummary("f.mc", checkFormText("<vlayout>\n<buton/>\n<text var=\"A\"/>\n<text var=\"A\"/>\n"
                                                      "<label>\n")),
                 QByteArray("kiv: f.mc: 1 error, 1 warning, 3 notes; kiv --check f.mc shows them\n"));
        CheckedForm fromInput = checkFormText("<label txt=\"x\"/>");
        fromInput.standardInput = true;
        QCOMPARE(startupSummary("-", fromInput), QByteArray("kiv: <stdin>: 1 warning; kiv --check - shows it\n"));
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
