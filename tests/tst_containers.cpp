#include "app/frmMain.h"
#include "builder/MHLayout.h"
#include "builder/MScroll.h"
#include "builder/PendingTab.h"
#include "markup/Document.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

// One document built the way start-up builds it.
struct Form
{
    std::unique_ptr<Document> document;
    std::unique_ptr<frmMain> window;

    QLayout *top() const { return window->layout(); }
};

Form build(const QByteArray &mc)
{
    Form f;
    f.document = parseDocumentText(mc);
    f.window = std::make_unique<frmMain>();
    buildDocumentWindow(f.window.get(), f.document->root());
    return f;
}

QWidget *widgetAt(QLayout *layout, int i)
{
    QLayoutItem *item = layout ? layout->itemAt(i) : nullptr;
    return item ? item->widget() : nullptr;
}

QString labelText(QLayout *layout, int i)
{
    auto *label = qobject_cast<QLabel *>(widgetAt(layout, i));
    return label ? label->text() : QStringLiteral("<not a label>");
}

QStringList captions(const QTabWidget *tabs)
{
    QStringList out;
    for (int i = 0; i < tabs->count(); ++i)
        out << tabs->tabText(i);
    return out;
}

bool zeroMargins(const QLayout *layout)
{
    return layout->contentsMargins() == QMargins(0, 0, 0, 0);
}

} // namespace

class TestContainers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void columnsAndRows();
    void configJoinsItsParent();
    void scrollLayout();
    void scrollBarsOnlyWhenNeeded();
    void tabsInARowShareOneWidget();
    void tabAfterOtherWidgetsAndInsideLayouts();
    void nestedTabs();
    void tabWithoutTitle();
    void tabCaptions();
    void tabSizeGoesToPage();
    void pendingTabDoesNotOutliveItsDocument();
};

void TestContainers::columnsAndRows()
{
    const Form f = build(R"(<vlayout width="120">
        <label text="a"/>
        <hlayout height="40" width=" 30px"><label text="b"/><label text="c"/></hlayout>
        <unknown><label text="never"/></unknown>
    </vlayout>)");
    QCOMPARE(f.top()->count(), 1);
    QWidget *column = widgetAt(f.top(), 0);
    QVERIFY(column);
    QCOMPARE(column->minimumWidth(), 120);
    QCOMPARE(column->contentsMargins(), QMargins(0, 0, 0, 0));
    QVERIFY(qobject_cast<QVBoxLayout *>(column->layout()));
    QVERIFY(zeroMargins(column->layout()));
    QCOMPARE(column->layout()->count(), 2);
    QCOMPARE(labelText(column->layout(), 0), QStringLiteral("a"));

    auto *row = dynamic_cast<MHLayout *>(widgetAt(column->layout(), 1));
    QVERIFY(row);
    QCOMPARE(row->layout(), row->innerLayout());
    QVERIFY(zeroMargins(row->innerLayout()));
    QCOMPARE(row->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(row->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(row->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(row->minimumHeight(), 40);
    QCOMPARE(row->minimumWidth(), 30);
    QCOMPARE(row->innerLayout()->count(), 2);
    QCOMPARE(labelText(row->innerLayout(), 0), QStringLiteral("b"));
    QCOMPARE(labelText(row->innerLayout(), 1), QStringLiteral("c"));

    // The form is exactly what the document describes: KIV_MY_PID has no widget.
    QCOMPARE(f.window->findChildren<QLabel *>().size(), 3);
}

void TestContainers::configJoinsItsParent()
{
    const Form f = build(R"(<vlayout><label text="1"/>
        <hlayout><config><label text="2"/><label text="3"/></config></hlayout></vlayout>)");
    QLayout *column = widgetAt(f.top(), 0)->layout();
    auto *row = dynamic_cast<MHLayout *>(widgetAt(column, 1));
    QVERIFY(row);
    QCOMPARE(row->innerLayout()->count(), 2);
    QCOMPARE(labelText(row->innerLayout(), 1), QStringLiteral("3"));

    const Form g = build(R"(<config><label text="x"/><label text="y"/></config>)");
    QCOMPARE(g.top()->count(), 2);
    QCOMPARE(labelText(g.top(), 1), QStringLiteral("y"));
}

void TestContainers::scrollLayout()
{
    const Form plain = build(R"(<config><label text="x"/></config>)");
    QVERIFY(!zeroMargins(plain.top()));

    const Form f = build(R"(<config><label text="before"/>
        <scrolllayout width="50" height="60"><label text="in"/><label text="side"/></scrolllayout>
        <label text="after"/></config>)");
    // A scrolling area takes the margins of its whole parent layout away.
    QVERIFY(zeroMargins(f.top()));
    QCOMPARE(f.top()->count(), 3);
    auto *scroll = dynamic_cast<MScroll *>(widgetAt(f.top(), 1));
    QVERIFY(scroll);
    QCOMPARE(scroll->minimumSize(), QSize(50, 60));
    QCOMPARE(scroll->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(scroll->area()->frameShape(), QFrame::NoFrame);
    QVERIFY(scroll->area()->widgetResizable());
    QVERIFY(zeroMargins(scroll->innerLayout()));
    QCOMPARE(scroll->area()->widget()->layout(), scroll->innerLayout());
    QCOMPARE(scroll->innerLayout()->count(), 2);
    QCOMPARE(labelText(scroll->innerLayout(), 1), QStringLiteral("side"));

    // The margins of a vlayout are already zero; a scrolllayout inside it leaves
    // the window's own layout alone.
    const Form nested = build(R"(<vlayout><scrolllayout/></vlayout>)");
    QVERIFY(!zeroMargins(nested.top()));

    auto *direct = new QLabel(QStringLiteral("added"));
    scroll->addWidget(direct);
    QCOMPARE(scroll->innerLayout()->indexOf(direct), 2);
}

void TestContainers::scrollBarsOnlyWhenNeeded()
{
    const Form f = build(R"(<scrolllayout><vlayout height="2000"><label text="tall"/></vlayout></scrolllayout>)");
    auto *scroll = dynamic_cast<MScroll *>(widgetAt(f.top(), 0));
    QVERIFY(scroll);
    f.window->resize(300, 200);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QTRY_VERIFY(scroll->area()->verticalScrollBar()->isVisible());

    const Form small = build(R"(<scrolllayout><label text="short"/></scrolllayout>)");
    auto *smallScroll = dynamic_cast<MScroll *>(widgetAt(small.top(), 0));
    small.window->resize(300, 400);
    small.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(small.window.get()));
    QVERIFY(!smallScroll->area()->verticalScrollBar()->isVisible());
    // Smaller content is stretched to the view.
    QTRY_COMPARE(smallScroll->area()->widget()->height(), smallScroll->area()->viewport()->height());
}

void TestContainers::tabsInARowShareOneWidget()
{
    const Form f = build(R"(<vlayout><tab title="A"><label text="on a"/></tab><tab title="B"/></vlayout>)");
    QLayout *column = widgetAt(f.top(), 0)->layout();
    QCOMPARE(column->count(), 1);
    auto *tabs = qobject_cast<QTabWidget *>(widgetAt(column, 0));
    QVERIFY(tabs);
    QCOMPARE(captions(tabs), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(labelText(tabs->widget(0)->layout(), 0), QStringLiteral("on a"));
    QVERIFY(qobject_cast<QVBoxLayout *>(tabs->widget(0)->layout()));
}

void TestContainers::tabAfterOtherWidgetsAndInsideLayouts()
{
    const Form f = build(R"(<config><tab title="A"/><label text="mid"/>
        <vlayout><label text="inner"/><tab title="B"><label text="on b"/></tab></vlayout>
        <hlayout><tab title="C"/></hlayout></config>)");
    QCOMPARE(f.top()->count(), 4);
    auto *tabs = qobject_cast<QTabWidget *>(widgetAt(f.top(), 0));
    QVERIFY(tabs);
    QCOMPARE(labelText(f.top(), 1), QStringLiteral("mid"));
    // Later tab elements add their page to the first tab widget, and nothing to
    // the layout they stand in.
    QCOMPARE(widgetAt(f.top(), 2)->layout()->count(), 1);
    QCOMPARE(dynamic_cast<MHLayout *>(widgetAt(f.top(), 3))->innerLayout()->count(), 0);
    QCOMPARE(captions(tabs), QStringList({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    QCOMPARE(labelText(tabs->widget(1)->layout(), 0), QStringLiteral("on b"));
    QCOMPARE(f.window->findChildren<QTabWidget *>().size(), 1);
}

void TestContainers::nestedTabs()
{
    const Form f = build(R"(<vlayout>
        <tab title="Outer"><label text="top"/><tab title="In1"/><tab title="In2"/></tab>
        <tab title="Outer2"/></vlayout>)");
    QLayout *column = widgetAt(f.top(), 0)->layout();
    QCOMPARE(column->count(), 1);
    auto *outer = qobject_cast<QTabWidget *>(widgetAt(column, 0));
    QVERIFY(outer);
    QCOMPARE(captions(outer), QStringList({QStringLiteral("Outer"), QStringLiteral("Outer2")}));
    QLayout *page = outer->widget(0)->layout();
    QCOMPARE(page->count(), 2);
    auto *inner = qobject_cast<QTabWidget *>(widgetAt(page, 1));
    QVERIFY(inner);
    QCOMPARE(captions(inner), QStringList({QStringLiteral("In1"), QStringLiteral("In2")}));
}

void TestContainers::tabWithoutTitle()
{
    QTemporaryDir dir;
    const QByteArray log = QFile::encodeName(dir.filePath(QStringLiteral("ran")));
    const Form f = build("<vlayout><tab><label>echo x >> '" + log + "'; echo hidden</label></tab></vlayout>");
    QLayout *column = widgetAt(f.top(), 0)->layout();
    auto *tabs = qobject_cast<QTabWidget *>(widgetAt(column, 0));
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 0);
    // Built, so its command ran, but never shown.
    QFile ran(QFile::decodeName(log));
    QVERIFY(ran.open(QIODevice::ReadOnly));
    QCOMPARE(ran.readAll(), QByteArray("x\n"));
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    const QList<QLabel *> labels = f.window->findChildren<QLabel *>();
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels[0]->text(), QStringLiteral("hidden"));
    QVERIFY(!labels[0]->isVisible());

    // A titled tab after it still joins the same tab widget.
    const Form g = build(R"(<vlayout><tab/><tab title="Shown"/></vlayout>)");
    auto *joined = qobject_cast<QTabWidget *>(widgetAt(widgetAt(g.top(), 0)->layout(), 0));
    QCOMPARE(captions(joined), QStringList({QStringLiteral("Shown")}));
}

void TestContainers::tabCaptions()
{
    const Form f = build(R"(<vlayout>
        <tab title="echo as written"/>
        <tab><title>  echo  run   </title></tab>
        <tab title="first"><title>echo last</title><label text="after titles"/></tab>
        <tab title=""/>
        <tab><title>true</title></tab>
    </vlayout>)");
    auto *tabs = qobject_cast<QTabWidget *>(widgetAt(widgetAt(f.top(), 0)->layout(), 0));
    QVERIFY(tabs);
    // An empty caption is still a caption: the page is added.
    QCOMPARE(captions(tabs), QStringList({QStringLiteral("echo as written"), QStringLiteral("run"),
                                          QStringLiteral("last"), QString(), QString()}));
    QCOMPARE(tabs->widget(2)->layout()->count(), 1);
}

void TestContainers::tabSizeGoesToPage()
{
    const Form f = build(R"(<vlayout><tab title="T" width="333" height="222"/></vlayout>)");
    auto *tabs = qobject_cast<QTabWidget *>(widgetAt(widgetAt(f.top(), 0)->layout(), 0));
    QCOMPARE(tabs->widget(0)->minimumSize(), QSize(333, 222));
    QCOMPARE(tabs->minimumSize(), QSize(0, 0));
    QVERIFY(tabs->minimumSizeHint().width() >= 333);
}

void TestContainers::pendingTabDoesNotOutliveItsDocument()
{
    const Form first = build(R"(<tab title="one"/>)");
    QVERIFY(pendingTabWidget());
    // Each document starts its own tab widget.
    const Form second = build(R"(<tab title="two"/>)");
    auto *tabs = qobject_cast<QTabWidget *>(widgetAt(second.top(), 0));
    QVERIFY(tabs);
    QCOMPARE(captions(tabs), QStringList({QStringLiteral("two")}));

    {
        Form third = build(R"(<tab title="three"/>)");
        QVERIFY(pendingTabWidget());
    }
    QVERIFY(!pendingTabWidget());
}

QTEST_MAIN(TestContainers)
#include "tst_containers.moc"
