// Heavy and hostile use of the shell bridge and the mc reader: many commands,
// two processes at once, huge and odd outputs, huge and broken documents.
// Nothing here measures time; speed is measured under bench/.

#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

QStringList leftoverScripts(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("kiv-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

// Reads every value the builders could read, raw only: evaluating would run shells.
int walk(const Element *e, int depth = 0)
{
    int nodes = 1;
    const OptText raw = e->value();
    const OptText trimmed = trimWhitespace(raw);
    if (raw.has_value() != trimmed.has_value() || (raw && trimmed->size() > raw->size()))
        qFatal("trimming changed more than the ends of a value");
    for (const char *name : {"code", "var", "title", "width"})
        (void)trimWhitespace(e->attribute(name));
    if (e->isAttribute() && !e->content())
        qFatal("attribute node without a value");
    for (int i = 0; i < e->childCount(); ++i)
        nodes += walk(e->child(i), depth + 1);
    return nodes;
}

// Parses text and checks what every result must satisfy, whatever the text.
std::unique_ptr<Document> parseChecked(const QByteArray &text)
{
    std::unique_ptr<Document> doc = parseDocumentText(text);
    if (!doc)
        qFatal("parseDocumentText returned null");
    if (doc->root())
        walk(doc->root());
    else if (doc->error().isEmpty())
        qFatal("a document without a root gives no reason");
    return doc;
}

QByteArray repeated(const char *piece, int times)
{
    QByteArray out;
    const QByteArray p(piece);
    out.reserve(p.size() * times);
    for (int i = 0; i < times; ++i)
        out += p;
    return out;
}

// A form of the kind people write, used when the source tree has no examples.
const char kSampleForm[] = R"mc(<?xml version="1.0"?>
<vlayout>
  <label>echo "Backup of $HOME"</label>
  <hlayout width="400">
    <text var="DEST" title="Destination">echo /tmp/backup</text>
    <file var="SRC" title="Source"/>
  </hlayout>
  <tab title="Options">
    <check var="ZIP" title="Compress">echo 1</check>
    <combo var="LEVEL"><item>echo fast</item><item>echo best</item></combo>
  </tab>
  <iconlist var="PICK" onclick="echo picked $PICK">
    <entry icon="disk.png">echo one</entry>
    <entry icon="net.png">echo "two > three"</entry>
  </iconlist>
  <button title="Run">tar -c "$SRC" | gzip > "$DEST/out.tgz"; echo done</button>
  <textlog height="120"/>
  <image code="echo logo.png"/>
</vlayout>
)mc";

QList<QPair<QString, QByteArray>> realForms()
{
    QList<QPair<QString, QByteArray>> forms;
    QDir examples(QStringLiteral(KIV_SOURCE_DIR "/examples"));
    for (const QString &name : examples.entryList({QStringLiteral("*.mc")}, QDir::Files, QDir::Name)) {
        QFile f(examples.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            forms.append({name, f.readAll()});
    }
    forms.append({QStringLiteral("sample"), QByteArray(kSampleForm)});
    return forms;
}

// The root '<' the way loadDocument finds it: the first '<' not followed by '?'.
QByteArray fromRoot(const QByteArray &file)
{
    qsizetype p = 0;
    while ((p = file.indexOf('<', p)) >= 0 && p + 1 < file.size() && file[p + 1] == '?')
        ++p;
    return p < 0 ? QByteArray() : file.mid(p);
}

// The second process of concurrentProcesses(): runs its share of commands and
// reports the first wrong output.
int concurrentChild(const char *tag)
{
    MEnvVar store;
    CommandRunner runner(&store);
    store.addVariable("WHO", tag);
    const int n = store.addVariable("N", "");
    for (int i = 0; i < 1000; ++i) {
        store.updateVal(n, QString::number(i));
        const QByteArray expected = QByteArray(tag) + ' ' + QByteArray::number(i) + '\n';
        const QByteArray got = runner.run(QByteArray("echo \"$WHO $N\""));
        if (got != expected) {
            std::fprintf(stderr, "command %d: expected [%s], got [%s]\n", i, expected.constData(), got.constData());
            return 1;
        }
    }
    return 0;
}

} // namespace

class tst_stress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void manyCommandsLeakNothing();
    void concurrentProcesses();
    void unusualOutputs_data();
    void unusualOutputs();
    void hugeOutput();
    void outputLimit_data();
    void outputLimit();
    void backgroundJobKeepsRunnerWaiting();
    void readOnlyCurrentDirectory();
    void plantedLinksAreNotFollowed();

    void bigDocuments();
    void nestingLimit_data();
    void nestingLimit();
    void unclosedChains_data();
    void unclosedChains();
    void binaryGarbage();
    void brokenRealForms_data();
    void brokenRealForms();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<MEnvVar> m_store;
    std::unique_ptr<CommandRunner> m_runner;
    std::unique_ptr<MOHandler> m_handler;
    QByteArray m_oldTmpdir;
    QString m_oldCwd;
};

void tst_stress::init()
{
    m_oldTmpdir = qgetenv("TMPDIR");
    m_oldCwd = QDir::currentPath();
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
    qputenv("TMPDIR", QFile::encodeName(m_tmp->path()));
    m_store = std::make_unique<MEnvVar>();
    m_runner = std::make_unique<CommandRunner>(m_store.get());
    m_handler = std::make_unique<MOHandler>();
}

void tst_stress::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    if (m_tmp)
        QVERIFY2(leftoverScripts(m_tmp->path()).isEmpty(), "a script file outlived its command");
    m_runner.reset();
    m_handler.reset();
    m_store.reset();
    if (m_oldTmpdir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", m_oldTmpdir);
    m_tmp.reset();
}

void tst_stress::manyCommandsLeakNothing()
{
    for (const char *name : {"A", "B", "C", "D"})
        m_store->addVariable(name, "some value with 'quotes' and $dollars");
    const int n = m_store->addVariable("N", "");
    m_runner->run(QByteArray(":")); // let one-time set-up happen before counting
    const int before = openDescriptors();
    // A few thousand runs are enough to catch a descriptor lost now and then.
    for (int i = 0; i < 3000; ++i) {
        m_store->updateVal(n, QString::number(i));
        const QByteArray out = m_runner->run(QByteArray("printf %s \"$N\""));
        if (out != QByteArray::number(i))
            QFAIL(qPrintable(QStringLiteral("command %1 printed [%2]").arg(i).arg(QString::fromUtf8(out))));
    }
    QCOMPARE(openDescriptors(), before);
    QCOMPARE(leftoverScripts(m_tmp->path()), QStringList());
}

void tst_stress::concurrentProcesses()
{
    // Both processes share the current directory and TMPDIR.
    QDir::setCurrent(m_tmp->path());
    QProcess other;
    other.setProgram(QCoreApplication::applicationFilePath());
    other.setArguments({QStringLiteral("--concurrent-child"), QStringLiteral("child")});
    other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    other.start();
    QVERIFY(other.waitForStarted());

    const QByteArray self("parent");
    const int rc = concurrentChild(self.constData());
    // The runner's event loop may already have seen the other process end.
    QVERIFY(other.state() == QProcess::NotRunning || other.waitForFinished(600000));
    QCOMPARE(rc, 0);
    QCOMPARE(other.exitStatus(), QProcess::NormalExit);
    QCOMPARE(other.exitCode(), 0);
    QCOMPARE(leftoverScripts(m_tmp->path()), QStringList());
    QCOMPARE(QDir(m_tmp->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
}

void tst_stress::unusualOutputs_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    QTest::newRow("nothing") << QByteArray("true") << QByteArray("") << QString();
    QTest::newRow("one byte") << QByteArray("printf x") << QByteArray("x") << QStringLiteral("x");
    QTest::newRow("NUL bytes") << QByteArray("printf 'a\\0b\\0'") << QByteArray("a\0b\0", 4)
                               << QStringLiteral("a\uFFFDb\uFFFD");
    QTest::newRow("invalid UTF-8") << QByteArray("printf '\\377ok\\300'") << QByteArray("\xffok\xc0")
                                   << QStringLiteral("\uF7FFok\uF7C0");
    QTest::newRow("cut UTF-8 sequence") << QByteArray("printf 'caf\\303'") << QByteArray("caf\xc3")
                                        << QStringLiteral("caf\uF7C3");
    QTest::newRow("UTF-8") << QByteArray("printf 'W\\303\\266rld'") << QByteArray("W\xc3\xb6rld")
                           << QStringLiteral("W\u00f6rld");
    QTest::newRow("only stderr") << QByteArray("echo oops >&2") << QByteArray("") << QString();
    QTest::newRow("failing command") << QByteArray("echo partial; exit 3") << QByteArray("partial\n")
                                     << QStringLiteral("partial\n");
    QTest::newRow("no such program") << QByteArray("/nonexistent/program 2>/dev/null") << QByteArray("")
                                     << QString();
    QTest::newRow("killed by a signal") << QByteArray("echo before; kill -9 $$") << QByteArray("before\n")
                                        << QStringLiteral("before\n");
}

void tst_stress::unusualOutputs()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);

    const OptText out = m_runner->run(OptText(command));
    QVERIFY(out.has_value());
    QVERIFY(!out->isNull());
    QCOMPARE(*out, bytes);

    QSignalSpy spy(m_handler.get(), &MOHandler::outputEmit);
    m_handler->outputGathered(*out);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), shown);
    QCOMPARE(m_handler->lastOutput(), bytes);
}

void tst_stress::hugeOutput()
{
    const qsizetype size = 100000000;
    const QByteArray out = m_runner->run(QByteArray("head -c 100000000 /dev/zero | tr '\\0' x; printf end"));
    QCOMPARE(out.size(), size + 3);
    QVERIFY(out.endsWith("xxxend"));
    QCOMPARE(out.count('x'), size);

    QSignalSpy spy(m_handler.get(), &MOHandler::outputEmit);
    m_handler->outputGathered(out);
    QCOMPARE(spy.size(), 1);
    const QString text = spy.at(0).at(0).toString();
    QCOMPARE(text.size(), size + 3);
    QVERIFY(text.endsWith(QStringLiteral("xend")));

    // A later small output replaces the big one instead of adding to it.
    m_handler->outputGathered(m_runner->run(QByteArray("echo small")));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("small\n"));
}

// Past the limit nothing more is kept or handed on, but the pipe is drained to its
// end so that the command runs on, and the bytes left out are counted.
void tst_stress::outputLimit_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<qint64>("kept");
    QTest::addColumn<qint64>("dropped");
    QTest::newRow("under") << qint64(1000) << QByteArray("head -c 999 /dev/zero") << qint64(999) << qint64(0);
    QTest::newRow("at") << qint64(1000) << QByteArray("head -c 1000 /dev/zero") << qint64(1000) << qint64(0);
    QTest::newRow("one over") << qint64(1000) << QByteArray("head -c 1001 /dev/zero") << qint64(1000) << qint64(1);
    QTest::newRow("nothing kept") << qint64(0) << QByteArray("head -c 5 /dev/zero") << qint64(0) << qint64(5);
    QTest::newRow("yes, far past") << qint64(100000) << QByteArray("yes | head -c 30000000")
                                   << qint64(100000) << qint64(29900000);
}

void tst_stress::outputLimit()
{
    QFETCH(qint64, limit);
    QFETCH(QByteArray, command);
    QFETCH(qint64, kept);
    QFETCH(qint64, dropped);
    m_runner->setOutputLimit(limit);
    const QByteArray marked = command + "; echo ran > \"$TMPDIR/ran\"";

    QCOMPARE(m_runner->run(marked).size(), kept);
    QVERIFY(QFile::remove(m_tmp->filePath(QStringLiteral("ran"))));

    qint64 handedOn = 0;
    const CommandResult live = m_runner->runLive(marked, [&](const QByteArray &piece) { handedOn += piece.size(); }, true);
    QVERIFY(live.ran);
    QCOMPARE(handedOn, kept);
    QCOMPARE(live.output.size(), kept);
    QCOMPARE(live.dropped, dropped);
    QVERIFY(QFile::remove(m_tmp->filePath(QStringLiteral("ran"))));

    // Wanted by nobody, the output is only counted.
    const CommandResult counted = m_runner->runLive(marked, {}, false);
    QCOMPARE(counted.output, QByteArray(""));
    QCOMPARE(counted.dropped, dropped);
    QVERIFY(QFile::remove(m_tmp->filePath(QStringLiteral("ran"))));
}

// The runner reads until every holder of the command's output has closed it, so a
// background job that keeps the output open keeps the caller waiting and its late
// output is part of the result. A job that sends its output elsewhere does not.
void tst_stress::backgroundJobKeepsRunnerWaiting()
{
    QCOMPARE(m_runner->run(QByteArray("(sleep 2; echo late) &\necho early")), QByteArray("early\nlate\n"));
    QCOMPARE(m_runner->run(QByteArray("(sleep 1; echo gone) >/dev/null &\necho alone")), QByteArray("alone\n"));
}

void tst_stress::readOnlyCurrentDirectory()
{
    // /proc takes no new files even from root; a 0555 directory stops everyone else.
    QTemporaryDir locked;
    QVERIFY(locked.isValid());
    QVERIFY(QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    for (const QString &dir : {locked.path(), QStringLiteral("/proc")}) {
        QVERIFY(QDir::setCurrent(dir));
        m_store->addVariable("V", "value");
        QCOMPARE(m_runner->run(QByteArray("echo \"$V\"; pwd")), QByteArray("value\n") + QFile::encodeName(dir) + '\n');
    }
    QDir::setCurrent(m_oldCwd);
    QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(QDir(locked.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
}

void tst_stress::plantedLinksAreNotFollowed()
{
    // Links where a runner with a fixed script name would write: the victim must
    // stay untouched and the links must stay links.
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString victim = work.filePath(QStringLiteral("victim"));
    {
        QFile f(victim);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("precious\n");
    }
    const QStringList links = {work.filePath(QStringLiteral(".temp")), m_tmp->filePath(QStringLiteral(".temp")),
                               m_tmp->filePath(QStringLiteral("kiv-XXXXXX")),
                               m_tmp->filePath(QStringLiteral("kiv-script"))};
    for (const QString &link : links)
        QVERIFY(QFile::link(victim, link));
    QVERIFY(QFile::link(work.filePath(QStringLiteral("nowhere")), m_tmp->filePath(QStringLiteral("kiv-dangling"))));

    QVERIFY(QDir::setCurrent(work.path()));
    m_store->addVariable("SECRET", "do not write me anywhere");
    for (int i = 0; i < 50; ++i)
        QCOMPARE(m_runner->run(QByteArray("echo ok")), QByteArray("ok\n"));
    QDir::setCurrent(m_oldCwd);

    QFile f(victim);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious\n"));
    for (const QString &link : links)
        QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("nowhere"))));
    // Only the planted entries are left.
    QCOMPARE(leftoverScripts(m_tmp->path()).size(), 3);
    for (const QString &name : leftoverScripts(m_tmp->path()))
        QFile::remove(m_tmp->filePath(name));
}

void tst_stress::bigDocuments()
{
    {
        QByteArray body(10 * 1000 * 1000, 'a');
        for (qsizetype i = 0; i < body.size(); i += 80)
            body[i] = i % 160 ? ' ' : '\n';
        auto doc = parseChecked("<label>" + body + "</label>");
        QVERIFY(doc->root());
        QCOMPARE(doc->root()->content()->size(), body.size());
        QVERIFY(*doc->root()->content() == body);
    }
    {
        auto doc = parseChecked("<vlayout>" + repeated("<b x=\"1\">echo hi</b>\n", 100000) + "</vlayout>");
        QVERIFY(doc->root());
        QCOMPARE(doc->root()->childCount(), 100000);
        const Element *last = doc->root()->child(99999);
        QCOMPARE(last->name(), QByteArray("b"));
        QCOMPARE(last->attribute("x"), OptText(QByteArray("1")));
        QCOMPARE(last->value(), OptText(QByteArray("echo hi")));
    }
}

void tst_stress::nestingLimit_data()
{
    QTest::addColumn<int>("levels");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1000") << 1000 << true;
    QTest::newRow("1001") << 1001 << false;
    QTest::newRow("1000001") << 1000001 << false;
}

void tst_stress::nestingLimit()
{
    QFETCH(int, levels);
    QFETCH(bool, accepted);
    auto doc = parseChecked(repeated("<a>", levels) + "in" + repeated("</a>", levels));
    if (!accepted) {
        QVERIFY(!doc->root());
        QVERIFY2(doc->error().contains(QStringLiteral("nested deeper than 1000")), qPrintable(doc->error()));
        return;
    }
    QVERIFY(doc->root());
    const Element *e = doc->root();
    int depth = 1;
    while (e->childCount() == 1) {
        e = e->child(0);
        ++depth;
    }
    QCOMPARE(depth, levels);
    QCOMPARE(e->content(), OptText(QByteArray("in")));
}

// Tags that never close, nested: each enclosing element gives up on the failing
// one and reads on after its opening tag, so a careless parser redoes the same
// work once per level and never finishes.
void tst_stress::unclosedChains_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("hasRoot");
    // Whether a root comes out alternates with the count: the innermost element
    // fails, its parent ends early and keeps it out, the grandparent runs out.
    QTest::newRow("60 open tags") << repeated("<a>", 60) << true;
    QTest::newRow("61 open tags") << repeated("<a>", 61) << false;
    QTest::newRow("999 open tags with text") << repeated("<a>x", 999) << false;
    QTest::newRow("1000 open tags") << repeated("<a>", 1000) << true;
    QTest::newRow("mixed names") << repeated("<a><b x=\"1\"><c/>", 300) << true;
    // Found by the fuzzer: 296 bytes that took minutes.
    QTest::newRow("fuzzer timeout") << QByteArray(
        "<<a>><a><a><)>on<la=\"0>\r\ntitl<e> 1<<a-<a><a><a><a><a>><a><l<e> 1<<a-<a><a><a><a><a>><a>"
        "<a>><a><a><)>on<la=\"0>\r\ntitl<e> 1<<a-<a><a><a><a><a>><a><l<e> 1<<a-<a><a><a><a><a>><a><"
        "a><a~<aa\r\n<e>al\ronclick<<vlby>a><a~<aa\r\n<e>al\ronclick<<vlby><a><a~<aa\r\n<e>al\roncl"
        "ick<<vlby>a><a~<aa\r\n<e>al\ronclick<<vlby><") << true;
}

void tst_stress::unclosedChains()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, hasRoot);
    auto doc = parseChecked(text);
    QCOMPARE(doc->root() != nullptr, hasRoot);
}

void tst_stress::binaryGarbage()
{
    QRandomGenerator rng(20261208);
    // Random bytes, then bytes drawn mostly from the characters the scanner reacts to.
    const QByteArray alphabet("<<<>>//\"\"== \t\n\rabx?!\0\xff", 23);
    for (int round = 0; round < 4000; ++round) {
        QByteArray text(int(rng.bounded(1, 3000)), '\0');
        const bool structured = round % 2;
        for (char &c : text)
            c = structured ? alphabet[int(rng.bounded(alphabet.size()))] : char(rng.bounded(256));
        if (round % 4 == 1)
            text.prepend('<');
        parseChecked(text);
    }
}

void tst_stress::brokenRealForms_data()
{
    QTest::addColumn<QByteArray>("form");
    for (const auto &[name, text] : realForms())
        QTest::newRow(qPrintable(name)) << fromRoot(text);
}

void tst_stress::brokenRealForms()
{
    QFETCH(QByteArray, form);
    QVERIFY(!form.isEmpty());
    auto whole = parseChecked(form);
    QVERIFY2(whole->root(), qPrintable(whole->error()));

    // Every truncation.
    for (qsizetype cut = 0; cut <= form.size(); ++cut)
        parseChecked(form.left(cut));

    // Every closing tag left out, and every single '>' left out.
    int closings = 0;
    for (qsizetype p = 0; (p = form.indexOf("</", p)) >= 0; ++p) {
        const qsizetype gt = form.indexOf('>', p);
        QVERIFY(gt > p);
        QByteArray broken = form;
        broken.remove(p, gt - p + 1);
        parseChecked(broken);
        ++closings;
    }
    QVERIFY(closings > 0);
    for (qsizetype p = 0; (p = form.indexOf('>', p)) >= 0; ++p) {
        QByteArray broken = form;
        broken.remove(p, 1);
        parseChecked(broken);
    }
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--concurrent-child") == 0)
        return concurrentChild(argv[2]);
    // The scale tests are slow on a busy machine, never stuck: ctest's time-out
    // bounds the whole run instead of QTest's per-function one.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "86400000");
    QCoreApplication app(argc, argv);
    tst_stress test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_stress.moc"
