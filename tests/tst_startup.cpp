#include "shell/FormSession.h"
#include "app/CommandLine.h"
#include "app/LauncherScreen.h"
#include "app/WindowIdentity.h"
#include "app/frmMain.h"
#include "builder/MScroll.h"
#include "markup/Document.h"
#include "shell/CommandQueue.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MButton.h"
#include "widgets/MTextFile.h"
#include "widgets/WidgetSetup.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

namespace {

// An argument vector like main's.
class Args
{
public:
    Args(std::initializer_list<QByteArray> args) : m_texts(args)
    {
        for (QByteArray &t : m_texts)
            m_pointers.push_back(t.data());
        m_pointers.push_back(nullptr);
    }
    int argc() const { return int(m_texts.size()); }
    char **argv() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_texts;
    std::vector<char *> m_pointers;
};

QStringList labelTexts(const QLayout *layout, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i) {
        auto *label = qobject_cast<QLabel *>(layout->itemAt(i)->widget());
        out << (label ? label->text() : QStringLiteral("<not a label>"));
    }
    return out;
}

QMessageBox *visibleMessageBox()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void modeChoice();
    void commandLine_data();
    void commandLine();
    void informationTexts();
    void documentMode();
    void documentThatCannotBeBuilt_data();
    void documentThatCannotBeBuilt();
    void windowTitle_data();
    void windowTitle();
    void identity();
    void notice();
    void launcher();
    void load_data();
    void load();
    void dialog_data();
    void dialog();

private:
    QByteArray writeFile(const QString &name, const QByteArray &text);
    QTemporaryDir m_dir;
};

void TestStartup::init()
{
    QVERIFY(m_dir.isValid());
}

QByteArray TestStartup::writeFile(const QString &name, const QByteArray &text)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return QFile::encodeName(file.fileName());
}

void TestStartup::modeChoice()
{
    QCOMPARE(chooseMode(0, nullptr), StartMode::Launcher);
    Args none{"kiv"};
    QCOMPARE(chooseMode(none.argc(), none.argv()), StartMode::Launcher);
    char *nullSecond[] = {none.argv()[0], nullptr};
    QCOMPARE(chooseMode(2, nullSecond), StartMode::Launcher);
    Args show{"kiv", "-show", "a", "b", "c"};
    QCOMPARE(chooseMode(show.argc(), show.argv()), StartMode::Notice);
    for (const char *name : {"-showx", "-sho", "-SHOW", "show", "form.mc", ""}) {
        Args a{"kiv", name};
        QVERIFY2(chooseMode(a.argc(), a.argv()) == StartMode::Document, name);
    }
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QByteArrayList>("args");
    QTest::addColumn<bool>("qtOptionsLeft");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("screen");
    QTest::addColumn<bool>("printValues");
    QTest::addColumn<QByteArrayList>("arguments"); // for UsageError: a part of the message
    using C = CommandLine;
    QTest::newRow("nothing") << QByteArrayList{} << true << int(C::Run) << int(C::Launcher) << false << QByteArrayList{};
    QTest::newRow("a form") << QByteArrayList{"f.mc", "ignored", "--"} << false << int(C::Run) << int(C::Form) << false
                            << QByteArrayList{"f.mc"};
    QTest::newRow("-h") << QByteArrayList{"-h"} << true << int(C::Help) << 0 << false << QByteArrayList{};
    QTest::newRow("--help after a form") << QByteArrayList{"f.mc", "--help"} << false << int(C::Help) << 0 << false
                                         << QByteArrayList{};
    QTest::newRow("--version after Qt's options")
        << QByteArrayList{"-platform", "offscreen", "-style=fusion", "--version"} << true << int(C::Version) << 0
        << false << QByteArrayList{};
    QTest::newRow("Qt's options before the form")
        << QByteArrayList{"--platform", "offscreen", "-reverse", "f.mc"} << true << int(C::Run) << int(C::Form)
        << false << QByteArrayList{"f.mc"};
    QTest::newRow("-- ends options") << QByteArrayList{"--", "-h"} << false << int(C::Run) << int(C::Form) << false
                                     << QByteArrayList{"-h"};
    QTest::newRow("a file named -show") << QByteArrayList{"--", "-show"} << false << int(C::Run) << int(C::Form)
                                        << false << QByteArrayList{"-show"};
    QTest::newRow("-showme.mc is a file") << QByteArrayList{"-showme.mc"} << false << int(C::Run) << int(C::Form)
                                          << false << QByteArrayList{"-showme.mc"};
    QTest::newRow("notice takes everything")
        << QByteArrayList{"-show", "--help", "b"} << false << int(C::Run) << int(C::Notice) << false
        << QByteArrayList{"--help", "b"};
    QTest::newRow("check") << QByteArrayList{"--check", "a.mc", "--", "-b.mc"} << false << int(C::Check) << 0 << false
                           << QByteArrayList{"a.mc", "-b.mc"};
    QTest::newRow("check -show") << QByteArrayList{"--check", "-show"} << false << int(C::Check) << 0 << false
                                 << QByteArrayList{"-show"};
    QTest::newRow("print values after the form")
        << QByteArrayList{"f.mc", "--print-values"} << false << int(C::Run) << int(C::Form) << true
        << QByteArrayList{"f.mc"};
    QTest::newRow("unknown option") << QByteArrayList{"--bogus", "f.mc"} << false << int(C::UsageError) << 0 << false
                                    << QByteArrayList{"unknown option '--bogus'", "kiv -- --bogus"};
    QTest::newRow("misspelt option") << QByteArrayList{"--chek", "f.mc"} << false << int(C::UsageError) << 0 << false
                                     << QByteArrayList{"did you mean '--check'?"};
    QTest::newRow("check without files") << QByteArrayList{"--check"} << false << int(C::UsageError) << 0 << false
                                         << QByteArrayList{"at least one"};
    QTest::newRow("values without a form") << QByteArrayList{"--print-values"} << false << int(C::UsageError) << 0
                                           << false << QByteArrayList{"needs an mc file"};
    QTest::newRow("- is standard input") << QByteArrayList{"--print-values", "-"} << false << int(C::Run)
                                         << int(C::Form) << true << QByteArrayList{"<stdin>"};
    QTest::newRow("check mixes files and standard input")
        << QByteArrayList{"--check", "a.mc", "-", "--", "-"} << false << int(C::Check) << 0 << false
        << QByteArrayList{"a.mc", "<stdin>", "-"};
    QTest::newRow("a file named - after --") << QByteArrayList{"--", "-"} << false << int(C::Run) << int(C::Form)
                                             << false << QByteArrayList{"-"};
    QTest::newRow("values of a notice") << QByteArrayList{"--print-values", "-show", "x"} << false
                                        << int(C::UsageError) << 0 << false << QByteArrayList{"needs an mc file"};
}

void TestStartup::commandLine()
{
    QFETCH(QByteArrayList, args);
    QFETCH(bool, qtOptionsLeft);
    QFETCH(int, action);
    QFETCH(int, screen);
    QFETCH(bool, printValues);
    QFETCH(QByteArrayList, arguments);
    std::vector<QByteArray> texts{QByteArray("kiv")};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (QByteArray &t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    const CommandLine line = parseCommandLine(int(texts.size()), argv.data(), qtOptionsLeft);
    QCOMPARE(int(line.action), action);
    if (line.action == CommandLine::UsageError) {
        for (const QByteArray &part : arguments)
            QVERIFY2(line.error.contains(part), line.error.constData());
        return;
    }
    if (line.action != CommandLine::Run && line.action != CommandLine::Check)
        return;
    if (line.action == CommandLine::Run)
        QCOMPARE(int(line.screen), screen);
    QCOMPARE(line.printValues, printValues);
    QCOMPARE(line.standardInput.size(), line.arguments.size());
    QByteArrayList named; // standard input as "<stdin>"
    for (size_t i = 0; i < line.arguments.size(); ++i)
        named << (line.standardInput[i] ? QByteArray("<stdin>") : line.arguments[i]);
    QCOMPARE(named, arguments);
}

void TestStartup::informationTexts()
{
    for (const char *word : {"FILE.mc", "-show", "--check", "--print-values", "FILE:LINE:COLUMN", "143", "scrolllayout"})
        QVERIFY2(usageText().contains(word), word);
    QCOMPARE(versionText(), QByteArray("kiv " KIV_VERSION "\n"));
}

void TestStartup::documentMode()
{
    const QByteArray path = writeFile(QStringLiteral("my form.mc"),
        "<?xml version=\"1.0\"?>\n<vlayout><tab title=\"t\"/><label>echo \"$KIV_MY_PID\"</label></vlayout>\n");
    {
        Args args{"kiv", path, "ignored", "-show"};
        frmMain window;
        QString error = QStringLiteral("untouched");
        QVERIFY(window.setupForm(args.argc(), args.argv(), &error));
        QCOMPARE(error, QStringLiteral("untouched"));
        QCOMPARE(window.findChild<QLabel *>()->text(), QString::number(QCoreApplication::applicationPid()));
        QCOMPARE(window.findChildren<QTabWidget *>().size(), 1);
        QVERIFY(window.session());
        QCOMPARE(window.session()->store().name(0), QByteArray("KIV_MY_PID"));
    }

    // A root that is no tag of the table gives an empty window.
    Args unknown{"kiv", writeFile(QStringLiteral("unknown.mc"), "<Vlayout><label>echo no</label></Vlayout>")};
    frmMain window;
    QVERIFY(window.setupForm(unknown.argc(), unknown.argv()));
    QCOMPARE(window.layout()->count(), 0);
}

void TestStartup::documentThatCannotBeBuilt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("No such file");
    QTest::newRow("no tag") << QByteArray("just text\n") << QStringLiteral("no element");
    QTest::newRow("only a declaration") << QByteArray("<?xml?>") << QStringLiteral("no element");
    QTest::newRow("unclosed") << QByteArray("<vlayout><label>x</label>") << QStringLiteral("never closed");
    // The message names the element left open, not the root around it.
    QTest::newRow("label left open") << QByteArray("<vlayout>\n<label>a\n<label>b</label>\n</vlayout>\n")
                                     << QStringLiteral("<label> opened on line 2 is never closed");
    QTest::newRow("unfinished tag") << QByteArray("<vlayout>\n<label text=\"a>\n</vlayout>\n")
                                    << QStringLiteral("line 2 never ends: a double quote");
}

void TestStartup::documentThatCannotBeBuilt()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    const QByteArray path = text.isNull() ? QFile::encodeName(m_dir.filePath(QStringLiteral("absent.mc")))
                                          : writeFile(QStringLiteral("bad.mc"), text);
    Args args{"kiv", path};
    frmMain window;
    QString error;
    QVERIFY(!window.setupForm(args.argc(), args.argv(), &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(!window.layout());
    QVERIFY(window.findChildren<QWidget *>().isEmpty());
}

void TestStartup::windowTitle_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("title");
    QTest::newRow("root title") << QByteArray("/x/a.mc") << QByteArray("<vlayout title=\"Backup\"/>") << QStringLiteral("Backup");
    QTest::newRow("from a command") << QByteArray("a.mc") << QByteArray("<hlayout><title>echo ' Disk'</title></hlayout>")
                                    << QStringLiteral("Disk");
    QTest::newRow("none: the file name") << QByteArray("/u/disk use.mc") << QByteArray("<vlayout title=\"\"/>")
                                         << QStringLiteral("disk use");
    QTest::newRow("a tab's is its page's") << QByteArray("t.mc") << QByteArray("<tab title=\"P\"/>") << QStringLiteral("t");
    QTest::newRow("no .mc, not UTF-8") << QByteArray("d.mc/f\xe9") << QByteArray("<vlayout/>") << textFromBytes("f\xe9");
}

void TestStartup::windowTitle()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, mc);
    QFETCH(QString, title);
    FormSession session;
    QCOMPARE(formTitle(session, parseDocumentText(mc)->root(), path), title);
}

void TestStartup::identity()
{
    setApplicationIdentity();
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("kiv"));
    // Installed or not, there is an icon: the built-in one stands in.
    QVERIFY(!QIcon(QStringLiteral(":/kiv/icona.png")).pixmap(32).isNull());
    frmMain window;
    QVERIFY(!window.windowIcon().pixmap(32).isNull());
    Args args{"kiv", writeFile(QStringLiteral("my form.mc"), "<vlayout/>")};
    QVERIFY(window.setupForm(args.argc(), args.argv()));
    QCOMPARE(window.windowTitle(), QStringLiteral("my form"));
    QCOMPARE(CommandRunner().run(QByteArray("printf %s \"$KIV_DATA_DIR/icona.png\"")), defaultIconPath());
}

void TestStartup::notice()
{
    struct Case
    {
        Args args;
        QStringList lines;
        int closeKey; // 0: a click on OK
    } cases[] = {
        {Args{"kiv", "-show"}, {QStringLiteral("-")}, 0},
        {Args{"kiv", "-show", "only"}, {QStringLiteral("only")}, Qt::Key_Return},
        {Args{"kiv", "-show", "first", "second \303\244", "ignored"}, {QStringLiteral("second \u00e4"), QStringLiteral("first")},
         Qt::Key_Escape},
        {Args{"kiv", "-show", "a", "b"}, {QStringLiteral("b"), QStringLiteral("a")}, Qt::Key_Enter},
    };
    for (Case &c : cases) {
        frmMain window;
        QVERIFY(window.setupForm(c.args.argc(), c.args.argv()));
        QLayout *layout = window.layout();
        QVERIFY(layout->contentsMargins() != QMargins());
        QCOMPARE(layout->count(), c.lines.size() + 1);
        QCOMPARE(labelTexts(layout, int(c.lines.size())), c.lines);
        auto *ok = qobject_cast<MButton *>(layout->itemAt(layout->count() - 1)->widget());
        QCOMPARE(ok->pushButton()->text(), QStringLiteral("OK"));
        QVERIFY(ok->pushButton()->isDefault());
        QVERIFY(window.session());
        QCOMPARE(window.windowType(), Qt::Dialog);
        QCOMPARE(window.windowTitle(), QStringLiteral("Notice \u2014 kiv"));

        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QPoint centre = window.screen()->availableGeometry().center();
        // Within the frame, which is unknown until the window is shown.
        QVERIFY2((window.geometry().center() - centre).manhattanLength() <= 8, "centred on the screen");
        QSignalSpy ran(ok, &MButton::outputEmit);
        if (c.closeKey)
            QTest::keyClick(&window, Qt::Key(c.closeKey));
        else
            ok->pushButton()->click();
        QVERIFY(!window.isVisible());
        QCOMPARE(ran.count(), 0); // OK runs no command
    }
}

void TestStartup::launcher()
{
    Args args{"kiv"};
    frmMain window;
    QVERIFY(window.setupForm(args.argc(), args.argv()));
    QLayout *layout = window.layout();
    QCOMPARE(layout->contentsMargins(), QMargins());
    QCOMPARE(layout->count(), 1);
    auto *scroll = dynamic_cast<MScroll *>(layout->itemAt(0)->widget());
    QVERIFY(scroll);
    QCOMPARE(scroll->area()->focusPolicy(), Qt::NoFocus);
    QCOMPARE(window.windowTitle(), QStringLiteral("Open a form \u2014 kiv"));

    QVERIFY(!documentationAddress().isEmpty());
    const QString wiki = QString::fromUtf8(".:: " + documentationAddress() + " ::.");
    QLayout *column = scroll->innerLayout();
    QCOMPARE(column->count(), 8);
    QCOMPARE(labelTexts(column, 6),
             QStringList({QStringLiteral("Scegliere il file mc che si desidera avviare tramite KIV."),
                          QStringLiteral("Se non sai cos'e' un file mc ti preghiamo di visitare la nostra wiki:"), wiki,
                          QStringLiteral("Choose the mc file you want to run with KIV. "),
                          QStringLiteral("If you don't know what a mc file is, please visit the wiki on:"), wiki}));
    auto *chooser = qobject_cast<MTextFile *>(column->itemAt(6)->widget());
    QVERIFY(chooser && chooser->lineEdit()->text().isEmpty());
    QCOMPARE(window.focusWidget(), chooser->lineEdit()); // typing goes to the path
    QCOMPARE(chooser->lineEdit()->accessibleName(), QStringLiteral("mc file"));
    auto *load = qobject_cast<MButton *>(column->itemAt(7)->widget());
    QCOMPARE(load->pushButton()->text(), QStringLiteral("Load"));

    // The chooser is bound to "pathfile", the launcher's only variable.
    const MEnvVar &store = window.session()->store();
    QCOMPARE(store.count(), 1);
    QCOMPARE(store.name(0), QByteArray("pathfile"));
    chooser->lineEdit()->setText(QStringLiteral("/some where.mc"));
    QCOMPARE(store.valueOf(0), QByteArray("/some where.mc"));
}

void TestStartup::load_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("startable");
    QTest::addColumn<QByteArray>("arguments"); // as the started program saw them
    // After "--": no name is taken for an option of kiv's or of Qt's.
    QTest::newRow("path with blanks") << QStringLiteral("a form with blanks.mc") << true << QByteArray("2\n[--]\n[@]\n");
    QTest::newRow("named like an option") << QStringLiteral("--x.mc") << true << QByteArray("2\n[--]\n[@]\n");
    QTest::newRow("named like the notice") << QStringLiteral("-show") << true << QByteArray("2\n[--]\n[@]\n");
    QTest::newRow("named like a Qt option") << QStringLiteral("-reverse") << true << QByteArray("2\n[--]\n[@]\n");
    QTest::newRow("no path: another launcher") << QString() << true << QByteArray("0\n");
    QTest::newRow("program cannot start") << QStringLiteral("a.mc") << false << QByteArray();
    QTest::newRow("file cannot be read") << QStringLiteral("gone/b.mc") << true << QByteArray();
    QTest::newRow("file without a tag") << QStringLiteral("tagless.mc") << true << QByteArray();
    QTest::newRow("a directory") << QStringLiteral("gone") << true << QByteArray();
}

void TestStartup::load()
{
    QFETCH(QString, path);
    QFETCH(bool, startable);
    QFETCH(QByteArray, arguments);
    const QString record = m_dir.filePath(QStringLiteral("args"));
    QFile::remove(record);
    const QByteArray recorder = writeFile(QStringLiteral("record.sh"),
        "#!/bin/sh\n{ echo \"$#\"; for a; do echo \"[$a]\"; done; } > '" + QFile::encodeName(record)
            + ".tmp'\nmv '" + QFile::encodeName(record) + ".tmp' '" + QFile::encodeName(record) + "'\n");
    QVERIFY(QFile::setPermissions(QFile::decodeName(recorder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QByteArray form;
    if (path == QLatin1String("gone"))
        QDir(m_dir.path()).mkpath(path);
    if (path.startsWith(QLatin1String("gone")))
        form = QFile::encodeName(m_dir.filePath(path));
    else if (!path.isEmpty())
        form = writeFile(path, path.startsWith(QLatin1String("tagless")) ? "no tag at all\n" : "<label text=\"x\"/>");

    frmMain window;
    setupLauncher(&window, startable ? recorder : QFile::encodeName(m_dir.filePath(QStringLiteral("no program"))));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<MTextFile *>()->lineEdit()->setText(QFile::decodeName(form));
    auto *load = window.findChild<MButton *>();
    QSignalSpy ran(load, &MButton::outputEmit);
    load->pushButton()->click();
    QCOMPARE(ran.count(), 0); // started directly, not through a shell command

    if (!arguments.isEmpty()) {
        QVERIFY(!window.isVisible());
        QTRY_COMPARE(QFile(record).exists(), true);
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), arguments.replace('@', form));
        return;
    }
    // The launcher stays open and says why.
    QTRY_VERIFY(visibleMessageBox());
    const QString message = visibleMessageBox()->text();
    delete visibleMessageBox();
    const QString why = !startable                                  ? QStringLiteral("no program")
                        : path.startsWith(QLatin1String("tagless")) ? QStringLiteral("tagless.mc cannot be opened: no element found")
                        : path == QLatin1String("gone")             ? QStringLiteral("gone is not a file")
                                                                    : QStringLiteral("gone");
    QVERIFY2(message.contains(why), qPrintable(message));
    QVERIFY(window.isVisible());
    QVERIFY(!QFile::exists(record));
}

void TestStartup::dialog_data()
{
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("action"); // "click N [escape|kill]" (during its command), "return CLASS", "escape", "close"
    QTest::addColumn<int>("status");     // -1: the form goes on
    QTest::addColumn<bool>("ran");       // the command that writes "ran"
    const QByteArray ran = "touch '" + QFile::encodeName(m_dir.filePath(QStringLiteral("ran"))) + "'";
    const QByteArray dialog = "<vlayout><text var=\"T\"/><number var=\"N\"/><textarea var=\"A\"/><checkbox var=\"C\"/>"
                              "<button title=\"Later\" exit=\"3\"/><button title=\"OK\" exit=\"0\">" + ran + "</button>"
                              "<button title=\"Also\" exit=\"0\"/></vlayout>";
    const QByteArray plain = "<vlayout><text var=\"T\"/><button>" + ran + "</button></vlayout>";
    const QByteArray slow = "<vlayout><text var=\"T\"/><button exit=\"0\">" + ran + "; sleep 100</button></vlayout>";
    QTest::newRow("command first, then the end") << dialog << "click 1" << 0 << true;
    QTest::newRow("exit=3") << dialog << "click 0" << 3 << false;
    QTest::newRow("Return in a text box") << dialog << "return QLineEdit" << 0 << true;
    QTest::newRow("Return in a number") << dialog << "return QAbstractSpinBox" << 0 << true;
    QTest::newRow("Return in a text area") << dialog << "return QPlainTextEdit" << -1 << false;
    QTest::newRow("Return on a check box") << dialog << "return QCheckBox" << -1 << false;
    QTest::newRow("Escape") << dialog << "escape" << 1 << false;
    QTest::newRow("closing") << dialog << "close" << 1 << false;
    QTest::newRow("command stopped: the form stays") << slow << "click 0 escape" << -1 << true;
    QTest::newRow("ended meanwhile: that status") << slow << "click 0 kill" << 143 << true;
    QTest::newRow("status from a command") << QByteArray("<vlayout><button><exit>echo 125</exit></button></vlayout>")
                                           << "click 0" << 125 << false;
    QTest::newRow("no exit=0: no Return")
        << QByteArray("<vlayout><text var=\"T\"/><button exit=\"1\"/></vlayout>") << "return QLineEdit" << -1 << false;
    QTest::newRow("plain form: Escape") << plain << "escape" << -1 << false;
    QTest::newRow("plain form: closing") << plain << "close" << -1 << false;
    for (const char *value : {"126", "-1", "yes", ""})
        QTest::addRow("exit=\"%s\"", value) << "<vlayout><button exit=\"" + QByteArray(value) + "\">" + ran
                + "</button></vlayout>" << "click 0" << -1 << true;
}

void TestStartup::dialog()
{
    QFETCH(QByteArray, mc);
    QFETCH(QString, action);
    QFETCH(int, status);
    QFETCH(bool, ran);
    QFile::remove(m_dir.filePath(QStringLiteral("ran")));
    frmMain window;
    QSignalSpy ended(&window, &frmMain::formEnded);
    QVERIFY(window.openForm(writeFile(QStringLiteral("dialog.mc"), mc)));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // The first exit=0 button looks like the default one, also after the focus passed it.
    QPushButton *accept = window.session()->acceptButton();
    QCOMPARE(accept ? accept->text() : QString(), mc.contains("exit=\"0\"") ? QStringLiteral("OK") : QString());
    if (accept)
        accept->setFocus();
    const QString what = action.section(QLatin1Char(' '), 1, 1), during = action.section(QLatin1Char(' '), 2);
    const QString kind = action.startsWith(QLatin1String("return")) ? what : QStringLiteral("QLineEdit");
    QWidget *input = &window;
    for (QWidget *w : window.findChildren<QWidget *>())
        input = input == &window && w->inherits(qPrintable(kind)) ? w : input;
    input->setFocus();
    for (QPushButton *button : window.findChildren<QPushButton *>())
        QCOMPARE(button->isDefault(), button == accept);

    if (action.startsWith(QLatin1String("click")))
        window.findChildren<MButton *>().at(what.toInt())->pushButton()->click();
    else if (action == QLatin1String("close"))
        window.close();
    else
        QTest::keyClick(input, action == QLatin1String("escape") ? Qt::Key_Escape : Qt::Key_Return);
    const QString ranFile = m_dir.filePath(QStringLiteral("ran"));
    if (ran)
        QTRY_VERIFY(QFile::exists(ranFile));
    if (during == QLatin1String("kill"))
        window.requestExit(143);
    else if (!during.isEmpty())
        QTest::keyClick(input, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!window.session()->queue().running(), 20000);
    // Ended once no command runs; the window stays until the event loop ends.
    QCOMPARE(window.session()->exitStatus(), status >= 0 ? std::optional<int>(status) : std::nullopt);
    QCOMPARE(ended.count() ? ended.at(0).at(0).toInt() : -1, status);
    QCOMPARE(QFile::exists(ranFile), ran);
    QCOMPARE(window.isVisible(), status >= 0 || action != QLatin1String("close"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
