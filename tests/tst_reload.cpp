#include "FormFixture.h"
#include "builder/KnownTags.h"
#include "widgets/MTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>

using kivtest::Form;

namespace {

// What a widget shows in one line; a choice as its entries joined by '|', '@' and the chosen ones.
QString shown(QWidget *w)
{
    QStringList all, chosen;
    if (auto *combo = w->findChild<QComboBox *>()) {
        for (int i = 0; i < combo->count(); ++i)
            all << combo->itemText(i);
        chosen << combo->currentText();
    } else if (const auto radios = w->findChildren<QRadioButton *>(); !radios.isEmpty() || w->inherits("MRadio")) {
        for (QRadioButton *radio : radios) {
            all << radio->text();
            if (radio->isChecked())
                chosen << radio->text();
        }
    } else if (auto *list = w->findChild<QListWidget *>()) {
        for (int i = 0; i < list->count(); ++i) {
            all << list->item(i)->text();
            if (list->item(i)->isSelected())
                chosen << all.last();
        }
    } else if (auto *table = qobject_cast<MTable *>(w)) {
        for (int r = 0; r < table->model()->rows(); ++r)
            all << table->model()->index(r, 0).data().toString();
        chosen << QString::fromUtf8(table->value()).split(QLatin1Char('\n'));
    } else if (auto *box = w->findChild<QCheckBox *>()) {
        return box->text() + (box->isChecked() ? QStringLiteral(" ticked") : QString());
    } else if (auto *line = w->findChild<QLineEdit *>()) {
        return line->text(); // text, password, file, number, date
    } else if (auto *area = w->findChild<QPlainTextEdit *>()) {
        return area->toPlainText();
    } else if (auto *button = w->findChild<QPushButton *>()) {
        return button->text(); // button, color
    } else if (auto *picture = w->findChild<QLabel *>(QStringLiteral("picture"))) {
        return picture->accessibleName() + QLatin1Char(' ') + QString::number(picture->pixmap().width());
    } else if (auto *label = qobject_cast<QLabel *>(w) ? qobject_cast<QLabel *>(w) : w->findChild<QLabel *>()) {
        return label->text(); // label, slider
    }
    return all.join(QLatin1Char('|')) + QLatin1Char('@') + chosen.join(QLatin1Char(','));
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
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("shows");
    QTest::addColumn<QString>("value");

    // value "-": the tag binds no variable; pick: the entry a user selects first.
    const auto row = [](const char *name, const char *mc, const char *before, const char *after, const char *shows,
                        const char *value = "-", const char *pick = "") {
        QTest::newRow(name) << QByteArray(mc) << QByteArray(before) << QString::fromUtf8(pick) << QByteArray(after)
                            << QString::fromUtf8(shows) << QString::fromUtf8(value);
    };
    row("label", "<label>cat f</label>", "one", "<b>two</b>", "<b>two</b>");
    row("img", "<img><src>cat f</src></img>", "@D/a.png", "@D/b.png", "b.png 8");
    row("button", "<button><title>cat f</title></button>", "Go", "Stop", "Stop");
    row("text", "<text var=\"V\">cat f</text>", "a", "b", "b", "b");
    row("textarea", "<textarea var=\"V\">cat f</textarea>", "a", "x\ny\n", "x\ny", "x\ny");
    row("file", "<file var=\"V\">cat f</file>", "/a", "/b c", "/b c", "/b c");
    row("checkbox", "<checkbox var=\"V\"><checked>head -n1 f</checked><text>tail -n1 f</text></checkbox>",
        "1\nSound", "0\nMusic", "Music", "0");
    row("combobox keeps", "<combobox var=\"V\">cat f</combobox>", "a\n#b\nc", "b\nc", "b|c@b", "b");
    row("combobox marked", "<combobox var=\"V\">cat f</combobox>", "a\n#b", "x\n#y", "x|y@y", "y");
    row("combobox first", "<combobox var=\"V\">cat f</combobox>", "a\n#b", "x\nz", "x|z@x", "x");
    row("combobox empty", "<combobox var=\"V\">cat f</combobox>", "a", "", "@", "");
    row("radio keeps", "<radio var=\"V\">cat f</radio>", "a\n#b", "c\nb", "c|b@b", "b");
    row("radio first", "<radio var=\"V\">cat f</radio>", "a\n#b", "x\nz", "x|z@x", "x");
    row("radio empty", "<radio var=\"V\">cat f</radio>", "a", "", "@", "");
    row("iconlist keeps", "<iconlist var=\"V\">cat f</iconlist>", "a\nb", "c\nb", "c|b@b", "b", "b");
    row("iconlist none", "<iconlist var=\"V\">cat f</iconlist>", "a\nb", "c", "c@", "", "b");
    row("table keeps", "<table var=\"V\">cat f</table>", "1\ta\n#2\tb", "3\tc\n2\tb\n", "3|2@2", "2");
    row("table multi keeps", "<table var=\"V\" select=\"multi\">cat f</table>", "#1\n#2\n3", "2\n3\n1x\n#3",
        "2|3|1x|3@2", "2");
    row("table marked", "<table var=\"V\" select=\"multi\">cat f</table>", "#1\n2", "3\n#4\n#5", "3|4|5@4,5", "4\n5");
    row("number clamped", "<number var=\"V\" max=\"10\">cat f</number>", "3", "42", "10", "10");
    row("slider", "<slider var=\"V\" min=\"1\" max=\"5\">cat f</slider>", "2", "4", "4", "4");
    row("date", "<date var=\"V\">cat f</date>", "2024-01-02", "2025-03-04", "2025-03-04", "2025-03-04");
    row("color", "<color var=\"V\">cat f</color>", "#ff0000", "steelblue", "#4682b4", "#4682b4");
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
    const auto put = [&form](QByteArray text) {
        QFile f(form.dir.filePath(QStringLiteral("f")));
        return f.open(QIODevice::WriteOnly) && f.write(text.replace("@D", form.dir.path().toUtf8())) == text.size();
    };
    QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(form.dir.filePath(QStringLiteral("a.png"))));
    QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(form.dir.filePath(QStringLiteral("b.png"))));
    QVERIFY(put(before));
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

    QVERIFY(put(after));
    knownTag(element->name())->reload(form.session, element, widget);
    QCOMPARE(shown(widget), shows);
    QCOMPARE(form.store.count(), variables);
    if (value != QLatin1String("-"))
        QCOMPARE(QString::fromUtf8(form.var(0)), value);
}

QTEST_MAIN(TestReload)
#include "tst_reload.moc"
