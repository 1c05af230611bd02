#include "FormFixture.h"
#include "builder/KnownTags.h"
#include "widgets/MCheckBox.h"
#include "widgets/MColor.h"
#include "widgets/MComboBox.h"
#include "widgets/MDate.h"
#include "widgets/MListWidget.h"
#include "widgets/MNumber.h"
#include "widgets/MRadio.h"
#include "widgets/MTable.h"
#include "widgets/MTextArea.h"
#include "widgets/MTextFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTableView>

using kivtest::Form;

namespace {

void write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// What a widget shows, in one line: its entries joined by '|', then '@' and the current one.
QString shown(QWidget *w)
{
    QStringList all;
    QString current;
    if (auto *combo = qobject_cast<MComboBox *>(w)) {
        for (int i = 0; i < combo->comboBox()->count(); ++i)
            all << combo->comboBox()->itemText(i);
        current = combo->comboBox()->currentText();
    } else if (auto *radio = qobject_cast<MRadio *>(w)) {
        for (int i = 0; i < radio->count(); ++i)
            all << radio->button(i)->text();
        current = radio->button(radio->chosen()) ? radio->button(radio->chosen())->text() : QString();
    } else if (auto *list = qobject_cast<MListWidget *>(w)) {
        for (int i = 0; i < list->listWidget()->count(); ++i)
            all << list->listWidget()->item(i)->text();
        const auto selected = list->listWidget()->selectedItems();
        current = selected.isEmpty() ? QString() : selected.first()->text();
    } else if (auto *table = qobject_cast<MTable *>(w)) {
        for (int r = 0; r < table->model()->rows(); ++r)
            all << table->model()->index(r, 0).data().toString();
        current = QString::fromUtf8(table->value()).replace(QLatin1Char('\n'), QLatin1Char(','));
    } else if (auto *box = qobject_cast<MCheckBox *>(w)) {
        return box->checkBox()->text() + (box->checkBox()->isChecked() ? QStringLiteral(" ticked") : QString());
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        return label->text();
    } else if (auto *picture = w->findChild<QLabel *>(QStringLiteral("picture"))) {
        return picture->accessibleName() + QLatin1Char(' ') + QString::number(picture->pixmap().width());
    } else if (auto *button = qobject_cast<MButton *>(w)) {
        return button->pushButton()->text();
    } else if (auto *area = qobject_cast<MTextArea *>(w)) {
        return area->text();
    } else if (auto *number = qobject_cast<MNumber *>(w)) {
        return number->valueText();
    } else if (auto *date = qobject_cast<MDate *>(w)) {
        return date->valueText();
    } else if (auto *color = qobject_cast<MColor *>(w)) {
        return color->valueText();
    } else if (auto *line = w->findChild<QLineEdit *>()) {
        return line->text();
    }
    return all.join(QLatin1Char('|')) + QLatin1Char('@') + current;
}

} // namespace

class TestReload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsAgain_data();
    void readsAgain();
};

void TestReload::readsAgain_data()
{
    // The content reads the file f; "@D/" stands for the test's directory.
    QTest::addColumn<QByteArray>("mc");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("pick"); // an entry the user selects first
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("shows");
    QTest::addColumn<QString>("value"); // the store's; "-": the tag binds none

    const QString none, unbound = QStringLiteral("-");
    QTest::newRow("label") << QByteArray("<label>cat f</label>") << QByteArray("one") << none
                           << QByteArray("<b>two</b>") << "<b>two</b>" << unbound;
    QTest::newRow("img") << QByteArray("<img><src>cat f</src></img>") << QByteArray("@D/a.png") << none
                         << QByteArray("@D/b.png") << "b.png 8" << unbound;
    QTest::newRow("button") << QByteArray("<button><title>cat f</title></button>") << QByteArray("Go") << none
                            << QByteArray("Stop") << "Stop" << unbound;
    QTest::newRow("text") << QByteArray("<text var=\"V\">cat f</text>") << QByteArray("a") << none << QByteArray("b")
                          << "b" << "b";
    QTest::newRow("password") << QByteArray("<password var=\"V\">cat f</password>") << QByteArray("a") << none
                              << QByteArray("s3") << "s3" << "s3";
    QTest::newRow("textarea") << QByteArray("<textarea var=\"V\">cat f</textarea>") << QByteArray("a") << none
                              << QByteArray("x\ny\n") << "x\ny" << "x\ny";
    QTest::newRow("file") << QByteArray("<file var=\"V\">cat f</file>") << QByteArray("/a") << none
                          << QByteArray("/b c") << "/b c" << "/b c";
    QTest::newRow("checkbox") << QByteArray("<checkbox var=\"V\"><checked>head -n1 f</checked><text>tail -n1 f</text></checkbox>")
                              << QByteArray("1\nSound") << none << QByteArray("0\nMusic") << "Music" << "0";
    QTest::newRow("combobox keeps") << QByteArray("<combobox var=\"V\">cat f</combobox>") << QByteArray("a\n#b\nc")
                                    << none << QByteArray("c\nb") << "c|b@b" << "b";
    QTest::newRow("combobox marked") << QByteArray("<combobox var=\"V\">cat f</combobox>") << QByteArray("a\n#b")
                                     << none << QByteArray("x\n#y") << "x|y@y" << "y";
    QTest::newRow("combobox first") << QByteArray("<combobox var=\"V\">cat f</combobox>") << QByteArray("a\n#b")
                                    << none << QByteArray("x\nz") << "x|z@x" << "x";
    QTest::newRow("combobox empty") << QByteArray("<combobox var=\"V\">cat f</combobox>") << QByteArray("a")
                                    << none << QByteArray("") << "@" << "";
    QTest::newRow("radio keeps") << QByteArray("<radio var=\"V\">cat f</radio>") << QByteArray("a\n#b") << none
                                 << QByteArray("c\nb") << "c|b@b" << "b";
    QTest::newRow("radio first") << QByteArray("<radio var=\"V\">cat f</radio>") << QByteArray("a\n#b") << none
                                 << QByteArray("x\nz") << "x|z@x" << "x";
    QTest::newRow("radio empty") << QByteArray("<radio var=\"V\">cat f</radio>") << QByteArray("a") << none
                                 << QByteArray("") << "@" << "";
    QTest::newRow("iconlist keeps") << QByteArray("<iconlist var=\"V\">cat f</iconlist>") << QByteArray("a\nb")
                                    << "b" << QByteArray("c\nb") << "c|b@b" << "b";
    QTest::newRow("iconlist none") << QByteArray("<iconlist var=\"V\">cat f</iconlist>") << QByteArray("a\nb")
                                   << "b" << QByteArray("c") << "c@" << "";
    QTest::newRow("table keeps") << QByteArray("<table var=\"V\">cat f</table>") << QByteArray("1\ta\n#2\tb")
                                 << none << QByteArray("3\tc\n2\tb\n") << "3|2@2" << "2";
    QTest::newRow("table multi keeps") << QByteArray("<table var=\"V\" select=\"multi\">cat f</table>")
                                       << QByteArray("#1\n#2\n3") << none << QByteArray("2\n3\n1x\n#3")
                                       << "2|3|1x|3@2" << "2";
    QTest::newRow("table marked") << QByteArray("<table var=\"V\" select=\"multi\">cat f</table>")
                                  << QByteArray("#1\n2") << none << QByteArray("3\n#4\n#5") << "3|4|5@4,5" << "4\n5";
    QTest::newRow("number clamped") << QByteArray("<number var=\"V\" max=\"10\">cat f</number>") << QByteArray("3")
                                    << none << QByteArray("42") << "10" << "10";
    QTest::newRow("slider") << QByteArray("<slider var=\"V\" min=\"1\" max=\"5\">cat f</slider>") << QByteArray("2")
                            << none << QByteArray("4") << "4" << "4";
    QTest::newRow("date") << QByteArray("<date var=\"V\">cat f</date>") << QByteArray("2024-01-02") << none
                          << QByteArray("2025-03-04") << "2025-03-04" << "2025-03-04";
    QTest::newRow("color") << QByteArray("<color var=\"V\">cat f</color>") << QByteArray("#ff0000") << none
                           << QByteArray("steelblue") << "#4682b4" << "#4682b4";
}

void TestReload::readsAgain()
{
    QFETCH(QByteArray, mc);
    QFETCH(QByteArray, before);
    QFETCH(QString, pick);
    QFETCH(QByteArray, after);
    QFETCH(QString, shows);
    QFETCH(QString, value);

    Form form;
    const QByteArray dir = form.dir.path().toUtf8();
    QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(form.dir.filePath(QStringLiteral("a.png"))));
    QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(form.dir.filePath(QStringLiteral("b.png"))));
    write(form.dir.filePath(QStringLiteral("f")), before.replace("@D", dir));
    QVERIFY(form.build("<kiv>" + mc + "</kiv>"));
    const Element *element = form.doc->root()->child(0);
    QWidget *widget = form.window.layout()->itemAt(0)->widget();
    QVERIFY(widget);
    if (!pick.isEmpty()) {
        QListWidget *list = form.find<QListWidget>();
        list->setCurrentItem(list->findItems(pick, Qt::MatchExactly).value(0));
        QCOMPARE(form.var(0), pick.toUtf8());
    }
    const int variables = form.store.count();

    write(form.dir.filePath(QStringLiteral("f")), after.replace("@D", dir));
    knownTag(element->name())->reload(form.session, element, widget);
    QCOMPARE(shown(widget), shows);
    QCOMPARE(form.store.count(), variables);
    if (value != QLatin1String("-"))
        QCOMPARE(QString::fromUtf8(form.var(0)), value);
}

QTEST_MAIN(TestReload)
#include "tst_reload.moc"
