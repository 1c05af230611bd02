#include "app/frmMain.h"
#include "builder/MHLayout.h"
#include "builder/MScroll.h"
#include "builder/TextLog.h"
#include "markup/Document.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/WidgetSetup.h"

#include <QAccessible>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <unistd.h>

namespace {

// One document built the way start-up builds it.
struct Form
{
    std::unique_ptr<Document> document;
    std::unique_ptr<frmMain> window;

    QLayout *top() const { return window->layout(); }
    QWidget *at(int i) const { return top()->itemAt(i) ? top()->itemAt(i)->widget() : nullptr; }
};

Form build(const QByteArray &mc)
{
    Form f{parseDocumentText(mc), std::make_unique<frmMain>()};
    buildDocumentWindow(f.window.get(), f.document->root());
    return f;
}

QString describe(const QLayout *layout);

// The widget tree in short: a label is its text, "col[..]" a vlayout, "row[..]"
// an hlayout, "scroll[..]" a scrolllayout, "tabs(caption[..] ..)" a tab widget,
// "img:SPS" an image row (S stretch, P picture), "log" a text log.
QString describe(QWidget *w)
{
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (qobject_cast<TextLogView *>(w))
        return QStringLiteral("log");
    if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
        QStringList pages;
        for (int i = 0; i < tabs->count(); ++i)
            pages << tabs->tabText(i) + QLatin1Char('[') + describe(tabs->widget(i)->layout()) + QLatin1Char(']');
        return QStringLiteral("tabs(") + pages.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    if (auto *row = dynamic_cast<MHLayout *>(w))
        return QStringLiteral("row[") + describe(row->innerLayout()) + QLatin1Char(']');
    if (auto *scroll = dynamic_cast<MScroll *>(w))
        return QStringLiteral("scroll[") + describe(scroll->innerLayout()) + QLatin1Char(']');
    if (w->objectName() == QLatin1String("image")) {
        QString shape = QStringLiteral("img:");
        for (int i = 0; i < w->layout()->count(); ++i)
            shape += w->layout()->itemAt(i)->widget() ? QLatin1Char('P') : QLatin1Char('S');
        return shape;
    }
    return QStringLiteral("col[") + describe(w->layout()) + QLatin1Char(']');
}

QString describe(const QLayout *layout)
{
    QStringList parts;
    for (int i = 0; layout && i < layout->count(); ++i)
        parts << describe(layout->itemAt(i)->widget());
    return parts.join(QLatin1Char(' '));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void structure_data();
    void structure();
    void containerWidgets();
    void scrollLayoutTakesParentMargins();
    void pendingTabBelongsToOneDocument();
    void contentCommandsRunOnceEvenWhenHidden();
    void processIdVariable();
    void images();
    void textLogsShowEachOutput();
    void accessibleNames_data();
    void accessibleNames();

private:
    QTemporaryDir m_dir;
};

void TestForms::structure_data()
{
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("tree");
    QTest::newRow("rows and columns, unknown tags ignored")
        << QByteArray(R"(<vlayout><label text="a"/><hlayout><label text="b"/><Label text="no"/>
                         <label text="c"/></hlayout><vlayout2><label text="no"/></vlayout2></vlayout>)")
        << QStringLiteral("col[a row[b c]]");
    QTest::newRow("label texts")
        << QByteArray(R"(<config><label>echo Hello</label><label text="echo as written">true</label>
                         <label text="attr">  printf '  both \n\n' </label><label code="echo code"/>
                         <label/><label>printf 'caf\303\251'</label></config>)")
        << QStringLiteral("Hello echo as written both code  caf\u00e9");
    QTest::newRow("two tabs in a row")
        << QByteArray(R"(<vlayout><tab title="A"><label text="a"/></tab><tab title="B"/></vlayout>)")
        << QStringLiteral("col[tabs(A[a] B[])]");
    QTest::newRow("later tabs join the first tab widget wherever they stand")
        << QByteArray(R"(<config><tab title="A"/><label text="mid"/>
                         <vlayout><label text="in"/><tab title="B"><label text="b"/></tab></vlayout>
                         <hlayout><tab title="C"/></hlayout></config>)")
        << QStringLiteral("tabs(A[] B[b] C[]) mid col[in] row[]");
    QTest::newRow("nested tabs")
        << QByteArray(R"(<vlayout><tab title="Out"><label text="top"/><tab title="In1"/><tab title="In2"/></tab>
                         <tab title="Out2"/></vlayout>)")
        << QStringLiteral("col[tabs(Out[top tabs(In1[] In2[])] Out2[])]");
    QTest::newRow("tab without title shows nothing")
        << QByteArray(R"(<vlayout><tab><label text="hidden"/></tab><label text="below"/></vlayout>)")
        << QStringLiteral("col[tabs() below]");
    QTest::newRow("captions: attribute as written, child element run, last one wins, empty is one")
        << QByteArray(R"(<vlayout><tab title="echo as written"/><tab><title>  echo  run </title></tab>
                         <tab title="first"><title>echo last</title><label text="x"/></tab>
                         <tab title=""/><tab><title>true</title></tab><tab><title/></tab></vlayout>)")
        << QStringLiteral("col[tabs(echo as written[] run[] last[x] [] [])]");
    QTest::newRow("scrolllayout") << QByteArray(R"(<config><label text="a"/><scrolllayout><label text="b"/>
                                                   <label text="c"/></scrolllayout></config>)")
                                  << QStringLiteral("a scroll[b c]");
    QTest::newRow("image alignment")
        << QByteArray(R"(<config><img/><img align=""/><img align="left"/><img align=l/><img align="center"/>
                         <img align=c/><img align="right"/><img align="Left"/><textlog/></config>)")
        << QStringLiteral("img:P img:P img:P img:P img:SPS img:SPS img:SP img:SP log");
}

void TestForms::structure()
{
    QFETCH(QByteArray, mc);
    QFETCH(QString, tree);
    const Form f = build(mc);
    QCOMPARE(describe(f.top()), tree);
}

void TestForms::containerWidgets()
{
    const Form f = build(R"(<vlayout width="120"><hlayout height="40" width=" 30px"/>
        <tab title="T" width="333" height="222"/></vlayout>)");
    QWidget *column = f.at(0);
    QCOMPARE(column->minimumWidth(), 120);
    QCOMPARE(column->contentsMargins(), QMargins());
    QCOMPARE(column->layout()->contentsMargins(), QMargins());

    auto *row = dynamic_cast<MHLayout *>(column->layout()->itemAt(0)->widget());
    QCOMPARE(row->layout(), row->innerLayout());
    QCOMPARE(row->innerLayout()->contentsMargins(), QMargins());
    QCOMPARE(row->contentsMargins(), QMargins());
    QCOMPARE(row->sizePolicy(), QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding));
    QCOMPARE(row->minimumSize(), QSize(30, 40));

    // A tab's size is its page's, not the tab widget's.
    auto *tabs = qobject_cast<QTabWidget *>(column->layout()->itemAt(1)->widget());
    QCOMPARE(tabs->widget(0)->minimumSize(), QSize(333, 222));
    QCOMPARE(tabs->minimumSize(), QSize(0, 0));
}

void TestForms::scrollLayoutTakesParentMargins()
{
    QVERIFY(build(R"(<config><label text="x"/></config>)").top()->contentsMargins() != QMargins());
    const Form f = build(R"(<config><label text="x"/><scrolllayout width="50" height="60"/></config>)");
    QCOMPARE(f.top()->contentsMargins(), QMargins());
    auto *scroll = dynamic_cast<MScroll *>(f.at(1));
    QCOMPARE(scroll->minimumSize(), QSize(50, 60));
    QCOMPARE(scroll->contentsMargins(), QMargins());
    QCOMPARE(scroll->innerLayout()->contentsMargins(), QMargins());
    QCOMPARE(scroll->area()->frameShape(), QFrame::NoFrame);
    QVERIFY(scroll->area()->widgetResizable());
    QCOMPARE(scroll->area()->widget()->layout(), scroll->innerLayout());

    // Inside a vlayout only the vlayout's (already empty) margins are touched.
    QVERIFY(build(R"(<vlayout><scrolllayout/></vlayout>)").top()->contentsMargins() != QMargins());
}

void TestForms::pendingTabBelongsToOneDocument()
{
    const Form first = build(R"(<tab title="one"/>)");
    const Form second = build(R"(<tab title="two"/>)");
    QCOMPARE(describe(first.top()), QStringLiteral("tabs(one[])"));
    QCOMPARE(describe(second.top()), QStringLiteral("tabs(two[])"));
    QVERIFY(first.window->session()->pendingTab());
    QVERIFY(first.window->session()->pendingTab() != second.window->session()->pendingTab());
}

void TestForms::contentCommandsRunOnceEvenWhenHidden()
{
    QVERIFY(m_dir.isValid());
    const QString log = m_dir.filePath(QStringLiteral("runs"));
    const QByteArray append = "echo $1 >> '" + QFile::encodeName(log) + "'";
    // The content and a "text" child element run once each; a page without a
    // title is built, so its command runs, but it is never shown.
    const Form f = build("<vlayout><label>sleep 0.2; set -- c; " + append + "; echo shown</label>"
                         "<label><text>set -- t; " + append + "; echo fallback</text></label>"
                         "<tab><label>set -- h; " + append + "; echo hidden</label></tab></vlayout>");
    QCOMPARE(readFile(log), QByteArray("c\nt\nh\n"));
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    const QList<QLabel *> labels = f.window->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 3);
    QCOMPARE(labels[1]->text(), QStringLiteral("fallback"));
    QVERIFY(labels[0]->isVisible());
    QVERIFY(!labels[2]->isVisible());
}

void TestForms::processIdVariable()
{
    const Form f = build(R"(<label>echo "$KIV_MY_PID"</label>)");
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
    QCOMPARE(describe(f.top()), QString::fromLatin1(pid));
    QCOMPARE(f.window->session()->store().count(), 1);
    QCOMPARE(f.window->session()->store().name(0), QByteArray("KIV_MY_PID"));
    QCOMPARE(f.window->session()->store().valueOf(0), pid);
}

void TestForms::images()
{
    QVERIFY(m_dir.isValid());
    const QString png = m_dir.filePath(QStringLiteral("pic.png"));
    QImage picture(7, 5, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(png));
    const QString notImage = m_dir.filePath(QStringLiteral("text.png"));
    QFile f(notImage);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a picture") > 0);
    f.close();

    // A name that is not UTF-8 is found as the bytes it is.
    const QByteArray latin1 = QFile::encodeName(m_dir.path()) + "/p\xe9.png";
    QVERIFY(::link(QFile::encodeName(png).constData(), latin1.constData()) == 0);
    // QTemporaryDir cannot name it to remove it.
    const auto unlinkLatin1 = qScopeGuard([&] { ::unlink(latin1.constData()); });

    const Form form = build("<config><img src=\"" + QFile::encodeName(png) + "\" width=\"40\" height=\"30\"/>"
                            "<img src=\"" + QFile::encodeName(notImage) + "\"/>"
                            "<img src=\"no such picture.png\"/><img/>"
                            "<img src=\"" + latin1 + "\"/><img src=\"/dev/zero\"/></config>");
    const auto pictureOf = [&](int i) { return form.at(i)->findChild<QLabel *>(); };
    QCOMPARE(pictureOf(0)->pixmap().size(), QSize(7, 5));
    // The size goes to the picture, not to its row.
    QCOMPARE(pictureOf(0)->minimumSize(), QSize(40, 30));
    QCOMPARE(form.at(0)->minimumSize(), QSize(0, 0));
    QVERIFY(pictureOf(1)->pixmap().isNull());
    // Missing or no picture: the default icon (empty when it is not installed).
    const QImage fallback(QFile::decodeName(defaultIconPath()));
    for (int i : {2, 3})
        QCOMPARE(pictureOf(i)->pixmap().size(), fallback.size());
    QCOMPARE(pictureOf(4)->pixmap().size(), QSize(7, 5));
    // A device is never read: an empty picture, at once.
    QVERIFY(pictureOf(5)->pixmap().isNull());

    // A picture smaller than its box keeps to the side that "align" asks for.
    const QByteArray src = "<img src=\"" + QFile::encodeName(png) + "\" width=\"41\" height=\"30\" align=";
    const Form aligned = build("<config>" + src + "l/>" + src + "c/>" + src + "r/></config>");
    aligned.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(aligned.window.get()));
    for (int i = 0; i < 3; ++i) {
        QLabel *label = aligned.at(i)->findChild<QLabel *>();
        const QImage drawn = label->grab().toImage();
        int x = 0;
        while (x < drawn.width() && drawn.pixelColor(x, 15) != QColor(Qt::red))
            ++x;
        QVERIFY(label->width() >= 41);
        QCOMPARE(x, (label->width() - 7) * i / 2);
    }
}

void TestForms::textLogsShowEachOutput()
{
    const Form f = build(R"(<vlayout><textlog width="150" height="90"/><hlayout><textlog/></hlayout></vlayout>)");
    const QList<TextLogView *> logs = f.window->findChildren<TextLogView *>();
    QCOMPARE(logs.size(), 2);
    QCOMPARE(logs[1]->objectName(), QStringLiteral("textLog"));
    QCOMPARE(logs[0]->minimumSize(), QSize(150, 90));
    QCOMPARE(QFontInfo(logs[0]->font()).fixedPitch(), QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).fixedPitch());
    QCOMPARE(logs[0]->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    for (const QByteArray &output : {QByteArray("first\n"), QByteArray("<b>second</b>"), QByteArray()}) {
        f.window->session()->output().outputGathered(output);
        for (TextLogView *log : logs)
            QCOMPARE(log->toPlainText(), QString::fromUtf8(output).remove(QStringLiteral("<b>")).remove(QStringLiteral("</b>")));
    }
}

void TestForms::accessibleNames_data()
{
    // Object name=spoken name(description), in build order. A combo box's name is
    // its current entry, as Qt has it on Linux.
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QString>("names");
    QTest::newRow("the label right before, else the variable, else the kind")
        << QByteArray(R"(<vlayout><label text="Your name:"/><text var="N"/><text var="CITY"/><label text="x"/><img/>
                         <text/><combobox>echo a</combobox><iconlist/></vlayout>)")
        << QStringLiteral("lineEdit=Your name|lineEdit=CITY|picture=icona.png|lineEdit=Text|comboBox=a(Choice)|listWidget=List");
    QTest::newRow("captions stay, a label describes")
        << QByteArray(R"(<vlayout><label text="Options:"/><checkbox var="V" text="&Verbose"/><checkbox var="D"/>
                         <label text="Go"/><button title="B"/></vlayout>)")
        << QStringLiteral("checkBox=Verbose(Options)|checkBox=D|pushButton=B(Go)");
    QTest::newRow("rows, mark-up and lines")
        << QByteArray(R"(<hlayout><label text="<b>In</b>"/><file var="IN"/><combobox var="C">echo a</combobox>
                         <label>printf 'Two\nlines:'</label><iconlist var="L"/></hlayout>)")
        << QStringLiteral("lineEdit=In|browseButton=Browse for In|comboBox=a(C)|listWidget=Two lines");
    QTest::newRow("logs and pictures")
        << QByteArray(R"(<vlayout><label text="Result"/><textlog/><textlog/><img src="/no/folder.png"/></vlayout>)")
        << QStringLiteral("textLog=Result|textLog=Output|picture=folder.png");
    QTest::newRow("root config, tab pages")
        << QByteArray(R"(<config><label text="Host"/><text/><tab title="T"><label text="Port"/><text/></tab></config>)")
        << QStringLiteral("lineEdit=Host|lineEdit=Port");
}

void TestForms::accessibleNames()
{
    QFETCH(QByteArray, mc);
    QFETCH(QString, names);
    const Form f = build(mc);
    QStringList heard;
    for (QWidget *w : f.window->findChildren<QWidget *>()) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        const QString more = a->text(QAccessible::Description);
        if (QStringLiteral("lineEdit browseButton comboBox listWidget checkBox pushButton textLog picture")
                .split(QLatin1Char(' ')).contains(w->objectName()))
            heard << w->objectName() + QLatin1Char('=') + a->text(QAccessible::Name)
                         + (more.isEmpty() ? QString() : QLatin1Char('(') + more + QLatin1Char(')'));
    }
    QCOMPARE(heard.join(QLatin1Char('|')), names);
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
