#include "FormFixture.h"
#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"
#include "widgets/MListWidget.h"
#include "widgets/MListWidgetItem.h"

#include <QImage>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

class TestMListWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void entriesInOrder();
    void entryIcons();
    void iconSize_data();
    void iconSize();
    void mode_data();
    void mode();
    void selectionIsTheValue();
    void unboundListRegistersNothing();
    void doubleClickRouting();
    void realDoubleClickSeesSelection();
    void commandsRunWithoutHandler();
    void doubleClicksDuringARunRunNothing();
    void sizeAttributesReachInnerList();
    void entriesDieWithTheList();

private:
    MListWidget *build(const QByteArray &markup);
    static QStringList texts(const MListWidget *list);

    kivtest::LoneWidget<MListWidget> m_w;
};

void TestMListWidget::init()
{
    QVERIFY(m_w.init());
    qputenv("KIV_TEST_DIR", QFile::encodeName(m_w.dir->path()));
}

void TestMListWidget::cleanup() { m_w.cleanup(); }

MListWidget *TestMListWidget::build(const QByteArray &markup) { return m_w.build(markup, buildIconList); }

QStringList TestMListWidget::texts(const MListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->listWidget()->count(); ++i)
        out << list->listWidget()->item(i)->text();
    return out;
}

void TestMListWidget::entriesInOrder()
{
    // Content lines first (trimmed output, blank lines dropped, a carriage return
    // kept), then "icon" children and attributes in document order; other
    // children give nothing.
    MListWidget *list = build(
        "<iconlist icon=\"attr\" code=\"printf '\\n a\\n\\nb c\\r\\nlast  \\n'\">"
        "<icon text=\"x\"/><label>echo no</label><icon>echo y</icon></iconlist>");
    QVERIFY(list);
    QCOMPARE(texts(list), (QStringList{QStringLiteral("a"), QStringLiteral("b c\r"),
                                       QStringLiteral("last"), QStringLiteral("attr"),
                                       QStringLiteral("x"), QStringLiteral("y")}));
    QCOMPARE(list->entryCount(), 3);
    QCOMPARE(list->entry(0)->listItem(), list->listWidget()->item(3));
    QCOMPARE(list->entry(2)->listItem(), list->listWidget()->item(5));

    // Text beside child elements is no command (only "code" is); an icon's text
    // comes from its command, else from "text".
    list = build("<iconlist>echo lost<icon text=\"fallback\">true</icon>"
                 "<icon text=\"ignored\">echo from-command</icon><icon/></iconlist>");
    QVERIFY(list);
    QCOMPARE(texts(list), (QStringList{QStringLiteral("fallback"), QStringLiteral("from-command"),
                                       QString()}));

    // Non-ASCII output arrives as UTF-8.
    list = build("<iconlist>printf 'Gr\\303\\274n'</iconlist>");
    QCOMPARE(texts(list), QStringList{QString::fromUtf8("Grün")});
}

void TestMListWidget::entryIcons()
{
    // Two pictures of distinct colours: "src" wins over "href"; an empty "src"
    // falls back to "href".
    const QString red = m_w.dir->filePath(QStringLiteral("red.png"));
    const QString blue = m_w.dir->filePath(QStringLiteral("blue.png"));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(red));
    image.fill(Qt::blue);
    QVERIFY(image.save(blue));

    const QByteArray markup = "<iconlist><icon src=\"" + red.toUtf8() + "\" href=\"" + blue.toUtf8()
        + "\"/><icon src=\"\" href=\"" + blue.toUtf8() + "\"/><icon src=\"/nonexistent/x.png\"/>"
          "</iconlist>";
    MListWidget *list = build(markup);
    QVERIFY(list);
    QCOMPARE(list->listWidget()->count(), 3);
    auto colourOf = [&](int row) {
        const QPixmap pm = list->listWidget()->item(row)->icon().pixmap(QSize(8, 8));
        return pm.isNull() ? QColor() : QColor(pm.toImage().pixel(4, 4));
    };
    QCOMPARE(colourOf(0), QColor(Qt::red));
    QCOMPARE(colourOf(1), QColor(Qt::blue));
    // A missing picture goes to the default icon, which is not one of ours.
    QVERIFY(colourOf(2) != QColor(Qt::red) && colourOf(2) != QColor(Qt::blue));
}

void TestMListWidget::iconSize_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<QSize>("size");
    QTest::newRow("default") << QByteArray() << QSize(47, 27);
    QTest::newRow("width only") << QByteArray("iconwidth=\"64\"") << QSize(64, 27);
    QTest::newRow("height only") << QByteArray("iconheight=\"40\"") << QSize(47, 40);
    QTest::newRow("unit ignored") << QByteArray("iconwidth=\"64px\" iconheight=\"32pt\"") << QSize(64, 32);
    QTest::newRow("sign ignored") << QByteArray("iconwidth=\"-5\" iconheight=\"+9\"") << QSize(47, 27);
    QTest::newRow("letter ignored") << QByteArray("iconwidth=\"x5\"") << QSize(47, 27);
    QTest::newRow("huge kept sane") << QByteArray("iconwidth=\"99999999999999999999\"")
                                    << QSize(MListWidget::kMaxIconSide, 27);
}

void TestMListWidget::iconSize()
{
    QFETCH(QByteArray, attributes);
    QFETCH(QSize, size);
    MListWidget *list = build("<iconlist " + attributes + "><icon text=\"a\"/></iconlist>");
    QVERIFY(list);
    QCOMPARE(list->listWidget()->iconSize(), size);
    QCOMPARE(QSize(list->iconWidth(), list->iconHeight()), size);
}

void TestMListWidget::mode_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<int>("viewMode");
    QTest::newRow("absent") << QByteArray() << int(QListView::IconMode);
    QTest::newRow("list") << QByteArray("mode=\"list\"") << int(QListView::ListMode);
    QTest::newRow("l-word") << QByteArray("mode=\"lines\"") << int(QListView::ListMode);
    QTest::newRow("capital L") << QByteArray("mode=\"List\"") << int(QListView::IconMode);
    QTest::newRow("other") << QByteArray("mode=\"table\"") << int(QListView::IconMode);
}

void TestMListWidget::mode()
{
    QFETCH(QByteArray, attributes);
    QFETCH(int, viewMode);
    MListWidget *list = build("<iconlist " + attributes + "><icon text=\"a\"/></iconlist>");
    QVERIFY(list);
    QCOMPARE(int(list->listWidget()->viewMode()), viewMode);
    // Entries stay where they are in either mode.
    QCOMPARE(list->listWidget()->movement(), QListView::Static);
}

void TestMListWidget::selectionIsTheValue()
{
    MListWidget *list = build("<iconlist var=\"PICK\" code=\"printf 'one\\ntwo'\">"
                              "<icon text=\"three\"/></iconlist>");
    QVERIFY(list);
    const int index = list->varIndex();
    QCOMPARE(m_w.store().name(index), QByteArray("PICK"));
    // Building selects nothing: the variable stays empty until the user acts.
    QVERIFY(list->listWidget()->selectedItems().isEmpty());
    QCOMPARE(m_w.store().valueOf(index), QByteArray(""));

    QListWidget *view = list->listWidget();
    view->setCurrentRow(1);
    QCOMPARE(m_w.store().valueOf(index), QByteArray("two"));
    view->setCurrentRow(2);
    QCOMPARE(m_w.store().valueOf(index), QByteArray("three"));
    // A command run now sees the selection.
    QCOMPARE(m_w.run(QByteArray("printf %s \"$PICK\"")), QByteArray("three"));

    view->clearSelection();
    QCOMPARE(m_w.store().valueOf(index), QByteArray(""));
}

void TestMListWidget::unboundListRegistersNothing()
{
    MListWidget *list = build("<iconlist var=\"\"><icon text=\"a\"/></iconlist>");
    QVERIFY(list);
    QCOMPARE(list->varIndex(), -1);
    QCOMPARE(m_w.store().count(), 0);
    QSignalSpy spy(list, &MListWidget::valueChanged);
    list->listWidget()->setCurrentRow(0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), -1);
    QCOMPARE(m_w.store().count(), 0);
}

void TestMListWidget::doubleClickRouting()
{
    MListWidget *list = build("<iconlist ondoubleclick=\"echo list\" code=\"echo content\">"
                              "<icon text=\"own\" ondoubleclick=\"echo entry\"/>"
                              "<icon text=\"plain\"/>"
                              "<icon text=\"empty\" ondoubleclick=\"\"/>"
                              "</iconlist>");
    QVERIFY(list);
    QListWidget *view = list->listWidget();
    QCOMPARE(view->count(), 4);
    QSignalSpy shown(&m_w.handler(), &MOHandler::outputEmit);

    const QString expected[] = {QStringLiteral("list\n"), QStringLiteral("entry\n"),
                                QStringLiteral("list\n"), QStringLiteral("list\n")};
    for (int row = 0; row < 4; ++row) {
        Q_EMIT view->itemDoubleClicked(view->item(row));
        QTRY_COMPARE(shown.count(), row + 1);
        QCOMPARE(shown.last().at(0).toString(), expected[row]);
    }

    // Commands are run anew at each double click, never at build time.
    QCOMPARE(list->entry(0)->command(), OptText(QByteArray("echo entry")));
    QVERIFY(!list->entry(1)->command());

    // Neither the entry nor the list has a command: nothing runs, nothing is shown.
    list = build("<iconlist code=\"echo content\"><icon text=\"plain\"/></iconlist>");
    QVERIFY(list);
    QSignalSpy quiet(&m_w.handler(), &MOHandler::outputEmit);
    for (int row = 0; row < list->listWidget()->count(); ++row)
        list->doubleClicked(list->listWidget()->item(row));
    list->doubleClicked(nullptr);
    QCOMPARE(quiet.count(), 0);
}

void TestMListWidget::realDoubleClickSeesSelection()
{
    // A double click selects the entry first, so one list command serves all.
    MListWidget *list = build("<iconlist var=\"PICK\" mode=\"list\" "
                              "ondoubleclick=\"echo got $PICK\">"
                              "<icon text=\"alpha\"/><icon text=\"beta\"/></iconlist>");
    QVERIFY(list);
    m_w.holder->resize(300, 200);
    m_w.holder->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.holder.get()));
    QListWidget *view = list->listWidget();
    QSignalSpy shown(&m_w.handler(), &MOHandler::outputEmit);
    const QPoint where = view->visualItemRect(view->item(1)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, where);
    QTRY_COMPARE(shown.count(), 1);
    QCOMPARE(shown.at(0).at(0).toString(), QStringLiteral("got beta\n"));
}

void TestMListWidget::commandsRunWithoutHandler()
{
    // Outside document mode nothing is connected, yet commands still run.
    MListWidget *list = build("<iconlist ondoubleclick=\"echo l >> $KIV_TEST_DIR/log\">"
                              "<icon text=\"a\" ondoubleclick=\"echo e >> $KIV_TEST_DIR/log\"/>"
                              "<icon text=\"b\"/></iconlist>");
    QVERIFY(list);
    QSignalSpy listOut(list, &MListWidget::outputEmit);
    QSignalSpy entryOut(list->entry(0), &MListWidgetItem::outputEmit);
    list->doubleClicked(list->listWidget()->item(0));
    list->doubleClicked(list->listWidget()->item(1));
    QVERIFY(m_w.settle());
    QCOMPARE(entryOut.count(), 1);
    QCOMPARE(listOut.count(), 1);
    QFile log(m_w.dir->filePath(QStringLiteral("log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("e\nl\n"));
    QCOMPARE(m_w.handler().lastOutput(), QByteArray());
}

void TestMListWidget::doubleClicksDuringARunRunNothing()
{
    MListWidget *list = build("<iconlist ondoubleclick=\"echo l >> $KIV_TEST_DIR/runs; "
                              "while [ ! -e $KIV_TEST_DIR/go ]; do sleep 0.05; done\">"
                              "<icon text=\"a\" ondoubleclick=\"echo e >> $KIV_TEST_DIR/runs\"/>"
                              "<icon text=\"b\"/></iconlist>");
    QVERIFY(list);
    QListWidget *view = list->listWidget();
    QSignalSpy shown(&m_w.handler(), &MOHandler::outputEmit);
    const QString runs = m_w.dir->filePath(QStringLiteral("runs"));
    kivtest::whileRunning(*m_w.session, [&] {
        QTRY_VERIFY(QFile::exists(runs));
        list->doubleClicked(view->item(0));
        Q_EMIT view->itemDoubleClicked(view->item(1));
        QFile go(m_w.dir->filePath(QStringLiteral("go")));
        QVERIFY(go.open(QIODevice::WriteOnly));
    });
    list->doubleClicked(view->item(1));
    QVERIFY(m_w.settle());
    QCOMPARE(shown.count(), 1);
    QFile log(runs);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("l\n"));
}

void TestMListWidget::sizeAttributesReachInnerList()
{
    MListWidget *list = build("<iconlist width=\"230\" height=\"170\"><icon text=\"a\"/></iconlist>");
    QVERIFY(list);
    QCOMPARE(list->listWidget()->minimumSize(), QSize(230, 170));
    QCOMPARE(list->minimumSize(), QSize(0, 0));
    QVERIFY(list->minimumSizeHint().width() >= 230);
    QCOMPARE(list->listWidget()->objectName(), QStringLiteral("listWidget"));
}

void TestMListWidget::entriesDieWithTheList()
{
    MListWidget *list = build("<iconlist><icon text=\"a\" ondoubleclick=\"true\"/>"
                              "<icon text=\"b\"/></iconlist>");
    QVERIFY(list);
    QPointer<MListWidgetItem> first = list->entry(0);
    QPointer<MListWidgetItem> second = list->entry(1);
    QCOMPARE(first->parent(), list);
    m_w.holder.reset();
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());

    // An entry that never joined a list takes its item with it.
    auto *entry = new MListWidgetItem;
    entry->setListItem(new QListWidgetItem(QStringLiteral("loose")));
    delete entry;
}

QTEST_MAIN(TestMListWidget)
#include "tst_mlistwidget.moc"
