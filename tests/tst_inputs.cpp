// The input widgets in one table: a form, what the user does to it, and the value
// that commands then see in the form's first variable.
#include "FormFixture.h"
#include "widgets/MTable.h"

#include "builder/FormChecker.h"
#include "widgets/MRadio.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>

#include <functional>
#include <vector>

// Numbers and pickers
#include "widgets/MColor.h"
#include "widgets/MDate.h"
#include "widgets/MNumber.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QColorDialog>
#include <QDateEdit>
#include <QScrollBar>
#include <QScrollArea>
#include <QStyleOptionComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSlider>

namespace {

struct InputCase
{
    const char *name;
    QByteArray mc;
    // What the user does once the form is shown; null: the start value alone.
    std::function<void(kivtest::Form &)> act;
    QByteArray expected;
};

// Text inputs and choices: password, checkbox with checked, radio, textarea.
// Keys go to the focused part of the form's first input of type W.
template <class W> void press(kivtest::Form &form, std::initializer_list<Qt::Key> keys)
{
    for (Qt::Key key : keys) {
        QWidget *target = form.find<W>();
        if (auto *radio = qobject_cast<MRadio *>(target))
            target = radio->button(radio->chosen());
        target->setFocus();
        QTest::keyClick(target, key);
    }
}
template <class W> void type(kivtest::Form &form, const char *text)
{
    form.find<W>()->setFocus();
    kivtest::typeText(form.find<W>(), QString::fromUtf8(text));
}
std::vector<InputCase> textInputCases()
{
    using F = kivtest::Form &;
    const QByteArray radio = "<f><radio var=\"R\">printf '%s\\n' fast '#safe' slow</radio></f>";
    return {
        {"password typed", "<f><password var=\"P\" text=\"a\"/></f>",
         [](F f) { press<QLineEdit>(f, {Qt::Key_End}); type<QLineEdit>(f, "'\"$(x)\u00e9"); }, "a'\"$(x)\xc3\xa9"},
        {"checked", "<f><checkbox var=\"C\" checked=\" 1 \"/></f>", nullptr, "1"},
        {"checked then Space", "<f><checkbox var=\"C\" checked=\"1\"/></f>",
         [](F f) { press<QCheckBox>(f, {Qt::Key_Space}); }, "0"},
        {"checked by a command", "<f><checkbox var=\"C\"><checked>echo 1</checked><code>echo L</code></checkbox></f>",
         [](F f) { QCOMPARE(f.find<QCheckBox>()->text(), QStringLiteral("L")); }, "1"},
        {"checked by other text", "<f><checkbox var=\"C\"><checked>echo 10</checked></checkbox></f>", nullptr, "0"},
        {"radio Down", radio, [](F f) { press<MRadio>(f, {Qt::Key_Down, Qt::Key_Down}); }, "slow"},
        {"radio Up", radio, [](F f) { press<MRadio>(f, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Right}); }, "safe"},
        {"radio row", "<f><radio var=\"R\" mode=\"h\">printf '%s\\n\\n' one two</radio></f>",
         [](F f) { press<MRadio>(f, {Qt::Key_Right}); }, "two"},
        {"radio exact entries",
         "<f><radio var=\"R\">printf 'a&b\\n#it\\047s \"$(id)\" `x` \\\\n\\nc\\r\\nx\\377'</radio></f>",
         [](F f) {
             QCOMPARE(f.find<MRadio>()->count(), 4);
             QCOMPARE(f.find<MRadio>()->button(0)->text(), QStringLiteral("a&&b"));
         },
         "it's \"$(id)\" `x` \\n"},
        {"radio bytes", "<f><radio var=\"R\">printf 'x\\377\\n#\\n'</radio></f>",
         [](F f) { press<MRadio>(f, {Qt::Key_Home}); }, "x\xff"},
        {"radio one Tab stop", "<f><radio var=\"R\">printf '%s\\n' a '#b' c</radio><text var=\"U\"/></f>",
         [](F f) {
             press<MRadio>(f, {Qt::Key_Tab});
             QVERIFY(f.find<QLineEdit>()->hasFocus());
             QTest::keyClick(f.find<QLineEdit>(), Qt::Key_Backtab);
             QVERIFY(f.find<MRadio>()->button(1)->hasFocus());
             QTest::keyClick(f.find<MRadio>()->button(1), Qt::Key_Down);
         },
         "c"},
        {"radio empty", "<f><radio var=\"R\">true</radio></f>", nullptr, ""},
        {"radio start in view",
         "<f><button title=\"x\">true</button><radio var=\"R\" title=\"Rock & Roll\">seq 40 | sed 30s/^/#/</radio></f>",
         [](F f) {
             QVERIFY(f.find<MRadio>()->button(29)->visibleRegion().boundingRect().height() > 0);
             QCOMPARE(f.find<MRadio>()->groupBox()->title(), QStringLiteral("Rock && Roll"));
         },
         "30"},
        {"radio scroll stays", "<f><button title=\"x\">true</button><radio var=\"R\">seq 40 | sed 30s/^/#/</radio></f>",
         [](F f) {
             MRadio *radio = f.find<MRadio>();
             auto bar = [radio] {
                 return radio->findChild<QScrollArea *>(QStringLiteral("radioScroll"))->verticalScrollBar();
             };
             bar()->setValue(radio->button(10)->y() + radio->button(10)->height() / 2);
             const int at = bar()->value();
             // The same entries again, as a timed read brings them; then a click on the half in view.
             QByteArray same;
             for (int i = 1; i <= 40; ++i)
                 same += (i == 30 ? "#" : "") + QByteArray::number(i) + '\n';
             radio->setEntries(same);
             QCOMPARE(bar()->value(), at);
             // The window given back the focus, as a click on it does.
             f.find<QPushButton>()->setFocus();
             radio->button(radio->chosen())->setFocus(Qt::ActiveWindowFocusReason);
             QCOMPARE(bar()->value(), at);
             QTest::mouseClick(radio->button(10), Qt::LeftButton, {}, QPoint(4, radio->button(10)->height() - 3));
             QCOMPARE(bar()->value(), at);
         },
         "11"},
        {"password not cut", "<f><password var=\"P\" text=\"ab\"/></f>",
         [](F f) {
             f.find<QLineEdit>()->selectAll();
             QTest::keyClick(f.find<QLineEdit>(), Qt::Key_X, Qt::ControlModifier);
         },
         "ab"},
        {"radio 10000", "<f><radio var=\"R\">seq 10000</radio></f>",
         [](F f) {
             press<MRadio>(f, {Qt::Key_End, Qt::Key_Up});
             QVERIFY(f.find<MRadio>()->button(9998)->visibleRegion().boundingRect().height() > 0);
         },
         "9999"},
        {"textarea two lines", "<f><textarea var=\"T\">echo one</textarea></f>",
         [](F f) {
             press<QPlainTextEdit>(f, {Qt::Key_End, Qt::Key_Return});
             type<QPlainTextEdit>(f, "t\u00a0o");
             press<QPlainTextEdit>(f, {Qt::Key_Return});
             type<QPlainTextEdit>(f, "$(x) 'q'");
         },
         "one\nt\xc2\xa0o\n$(x) 'q'"},
        {"textarea exact start", "<f><textarea var=\"T\">printf 'a\\r\\n\\n\\377\\042'</textarea></f>", nullptr,
         "a\r\n\n\xff\""},
        {"textarea Tab leaves", "<f><textarea var=\"T\" text=\"x\"/><text var=\"U\"/></f>",
         [](F f) {
             press<QPlainTextEdit>(f, {Qt::Key_Tab});
             QVERIFY(!f.find<QPlainTextEdit>()->hasFocus());
         },
         "x"},
        {"textarea too long", "<f><textarea var=\"T\">yes abcdefghi | head -c 300000</textarea></f>",
         [](F f) {
             QVERIFY(f.find<QPlainTextEdit>()->isReadOnly());
             type<QPlainTextEdit>(f, "y");
         },
         QByteArray("abcdefghi\n").repeated(30000).chopped(1)},
    };
}

// Numbers and pickers: number, slider, date, color.
std::vector<InputCase> pickerCases()
{
    auto key = [](Qt::Key k, int times = 1) {
        return [=](kivtest::Form &f) {
            MNumber *number = f.find<MNumber>();
            for (int i = 0; i < times; ++i)
                QTest::keyClick(number->input(), k);
            // What the widget shows is what commands see.
            const QString shown = number->spinBox() ? number->spinBox()->text() : number->valueLabel()->text();
            QCOMPARE(shown, number->valueText());
        };
    };
    const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toUtf8();
    std::vector<InputCase> cases = {
        {"number from text", "<number var=\"N\" text=\"5\"/>", nullptr, "5"},
        {"number from its command", "<number var=\"N\" min=\"-10\">echo -7</number>", nullptr, "-7"},
        {"number clamped", "<number var=\"N\" max=\"20\" text=\"150\"/>", nullptr, "20"},
        {"number not a number", "<number var=\"N\" min=\"-3\" text=\"1,5\"/>", nullptr, "-3"},
        {"number up by step", "<number var=\"N\" step=\"5\" text=\"5\"/>", key(Qt::Key_Up), "10"},
        {"number up stops at max", "<number var=\"N\" max=\"6\" step=\"5\" text=\"5\"/>", key(Qt::Key_Up), "6"},
        {"number decimals", "<number var=\"N\" decimals=\"2\" step=\"0.25\" text=\"2.5\"/>", key(Qt::Key_Up),
         "2.75"},
        {"number ends swapped", "<number var=\"N\" min=\"10\" max=\"0\" text=\"20\"/>", nullptr, "10"},
        {"number bad step", "<number var=\"N\" step=\"-2\"/>", key(Qt::Key_Up), "1"},
        {"number rounded", "<number var=\"N\" decimals=\"2\" text=\"2.567\"/>", nullptr, "2.57"},
        {"number no minus zero", "<number var=\"N\" min=\"-1\" decimals=\"2\" text=\"-0.001\"/>", nullptr, "0.00"},
        {"number huge max", "<number var=\"N\" max=\"1e30\" text=\"1e20\"/>", nullptr, "999999999999999"},
        {"number empty output", "<number var=\"N\" text=\"3\">true</number>", nullptr, "3"},
        {"number page up", "<number var=\"N\" step=\"2\"/>", key(Qt::Key_PageUp), "20"},
        {"number typed", "<number var=\"N\" min=\"-100\" decimals=\"1\"/>",
         [](kivtest::Form &f) {
             QDoubleSpinBox *spin = f.find<MNumber>()->spinBox();
             spin->selectAll();
             QTest::keyClicks(spin, QStringLiteral("-42.5"));
         },
         "-42.5"},
        {"slider keys", "<slider var=\"S\" decimals=\"1\" step=\"0.5\" text=\"1\"/>", key(Qt::Key_Right, 2), "2.0"},
        {"slider end", "<slider var=\"S\" min=\"-5\" max=\"5\"/>", key(Qt::Key_End), "5"},
        {"slider huge ends", "<slider var=\"S\" decimals=\"2\" min=\"-1e30\"/>", key(Qt::Key_Home),
         "-21474836.47"},
        {"date in its format", "<date var=\"D\" format=\"dd.MM.yyyy\" text=\"24.12.2025\"/>", nullptr, "24.12.2025"},
        {"date unreadable", "<date var=\"D\" text=\"24.12.2025\"/>", nullptr, today},
        {"date empty format", "<date var=\"D\" format=\"\">echo 2026-02-20</date>",
         [](kivtest::Form &f) {
             QDateEdit *edit = f.find<MDate>()->dateEdit();
             edit->setCurrentSection(QDateTimeEdit::DaySection);
             QTest::keyClick(edit, Qt::Key_Up);
             QCOMPARE(edit->text(), QStringLiteral("2026-02-21"));
         },
         "2026-02-21"},
        {"date typed", "<date var=\"D\" format=\"dd/MM/yyyy\" text=\"01/01/2000\"/>",
         [](kivtest::Form &f) {
             QDateEdit *edit = f.find<MDate>()->dateEdit();
             edit->setSelectedSection(QDateTimeEdit::DaySection);
             // A full section moves on by itself: users type the digits alone.
             QTest::keyClicks(edit, QStringLiteral("24121999"));
         },
         "24/12/1999"},
        {"date names fit", "<date var=\"D\" format=\"dddd, d MMMM yyyy\" text=\"Wednesday, 30 September 2026\"/>",
         [](kivtest::Form &f) {
             QDateEdit *edit = f.find<MDate>()->dateEdit();
             QStyleOptionComboBox option;
             option.initFrom(edit);
             option.editable = true;
             const QRect field =
                 edit->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, edit);
             QVERIFY(field.width() >= edit->fontMetrics().horizontalAdvance(edit->text()));
         },
         "Wednesday, 30 September 2026"},
        {"date in words", "<date var=\"D\" format=\"'week of' d MMMM yyyy\">echo week of 8 December 2026</date>",
         nullptr, "week of 8 December 2026"},
        {"date keeps other bytes", "<date var=\"D\" format=\"yyyy\xffMM\" text=\"2025\xff" "03\"/>", nullptr,
         "2025\xff" "03"},
        {"color lower case", "<color var=\"C\" text=\"#3366CC\"/>", nullptr, "#3366cc"},
        {"color by name", "<color var=\"C\">echo steelblue</color>", nullptr, "#4682b4"},
        {"color short", "<color var=\"C\" text=\" #abc \"/>", nullptr, "#aabbcc"},
        {"color alpha dropped", "<color var=\"C\" text=\"#80ff0000\"/>", nullptr, "#ff0000"},
        {"color unreadable", "<color var=\"C\" text=\"#12345\"/>", nullptr, "#000000"},
        {"color picked", "<color var=\"C\"/>",
         [](kivtest::Form &f) {
             MColor *color = f.find<MColor>();
             color->setColor(QColor(0x10, 0x20, 0xfe, 0x80));
             QCOMPARE(color->swatchButton()->text(), QStringLiteral("#1020fe"));
         },
         "#1020fe"},
    };
    for (InputCase &c : cases)
        c.mc = "<vlayout>" + c.mc + "</vlayout>";
    return cases;
}

// Tables.
QTableView *tableView(kivtest::Form &form)
{
    MTable *table = form.find<MTable>();
    return table ? table->tableView() : nullptr;
}

// Clicks rows (as shown) of the form's table, each with its modifiers.
std::function<void(kivtest::Form &)> clickRows(std::vector<std::pair<int, Qt::KeyboardModifiers>> clicks)
{
    return [clicks](kivtest::Form &form) {
        QTableView *view = tableView(form);
        for (const auto &[row, modifiers] : clicks)
            QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                              view->visualRect(view->model()->index(row, 0)).center());
    };
}

// Clicks the first row, then presses keys.
std::function<void(kivtest::Form &)> keysAfterFirstRow(std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys)
{
    return [keys](kivtest::Form &form) {
        clickRows({{0, {}}})(form);
        for (const auto &[key, modifiers] : keys)
            QTest::keyClick(tableView(form), key, modifiers);
    };
}

std::vector<InputCase> tableCases()
{
    const Qt::KeyboardModifiers none, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    const QByteArray fiveRows = "printf '%s\\n' a b c d e</table>";
    std::vector<InputCase> cases = {
        {"table: # preselects a row", "<table var=\"T\">printf 'a\\tx\\n#b\\ty\\nc\\tz\\n'</table>", nullptr,
         "b"},
        {"table: single select keeps the last mark", "<table var=\"T\">printf '#a\\n#b\\nc\\n'</table>", nullptr,
         "b"},
        {"table: multi keeps every mark", "<table var=\"T\" select=\"multi\">printf '#a\\nb\\n#c\\n'</table>",
         nullptr, "a\nc"},
        {"table: nothing marked, nothing selected", "<table var=\"T\">printf 'a\\nb\\n'</table>", nullptr, ""},
        {"table: a click replaces the selection", "<table var=\"T\">printf '#a\\nb\\nc\\n'</table>",
         clickRows({{2, none}}), "c"},
        {"table: ctrl-click in single mode", "<table var=\"T\">" + fiveRows, clickRows({{1, none}, {3, ctrl}}), "d"},
        {"table: ctrl-clicks in multi mode", "<table var=\"T\" select=\"multi\">" + fiveRows,
         clickRows({{3, none}, {1, ctrl}, {4, ctrl}, {3, ctrl}}), "b\ne"},
        {"table: shift-click takes a range", "<table var=\"T\" select=\"multi\">" + fiveRows,
         clickRows({{1, none}, {3, shift}}), "b\nc\nd"},
        {"table: Down moves a single selection", "<table var=\"T\">" + fiveRows,
         keysAfterFirstRow({{Qt::Key_Down, none}, {Qt::Key_Down, none}}), "c"},
        {"table: Space toggles rows in multi mode", "<table var=\"T\" select=\"multi\">" + fiveRows,
         keysAfterFirstRow({{Qt::Key_Down, ctrl}, {Qt::Key_Down, ctrl}, {Qt::Key_Space, none}, {Qt::Key_Up, ctrl},
                            {Qt::Key_Up, ctrl}, {Qt::Key_Space, none}}),
         "c"},
        {"table: column picks the value's field", "<table var=\"T\" column=\"2\">printf 'a\\t1\\n#b\\t2\\n'</table>",
         nullptr, "2"},
        {"table: column past the fields is empty",
         "<table var=\"T\" column=\"3\" select=\"multi\">printf '#a\\t1\\n#b\\t2\\n'</table>", nullptr, "\n"},
        {"table: blanks split runs, the last column takes the rest",
         "<table var=\"T\" separator=\"blanks\" columns=\"PID|User|Command\" column=\"3\" select=\"multi\">"
         "printf '#  12 root  /usr/bin/x --flag  y  \\n  7 ada bash\\n#\\t9\\t\\tada  bash -l\\n'</table>",
         nullptr, "/usr/bin/x --flag  y\nbash -l"},
        {"table: tabs keep blanks and a leading empty field",
         "<table var=\"T\" column=\"2\" select=\"multi\">printf '#\\tb c \\t\\n#a b\\t\\tc\\n'</table>", nullptr,
         "b c \n"},
        {"table: fewer fields stay empty, extra ones join the last",
         "<table var=\"T\" columns=\"a|b|c\" column=\"3\" select=\"multi\">"
         "printf '#1\\n#1\\t2\\t3\\t4 \\t5\\n'</table>",
         nullptr, "\n3\t4 \t5"},
        {"table: bytes pass unchanged", "<table var=\"T\">printf '#caf\\351 \\047$(x)\\r\\tx\\n'</table>", nullptr,
         "caf\xe9 '$(x)\r"},
    };
    for (InputCase &c : cases)
        c.mc = "<vlayout>" + c.mc + "</vlayout>";
    return cases;
}

const std::vector<InputCase> &allCases()
{
    static const std::vector<InputCase> cases = [] {
        std::vector<InputCase> all;
        for (auto family : {textInputCases, pickerCases, tableCases}) {
            auto some = family();
            all.insert(all.end(), some.begin(), some.end());
        }
        return all;
    }();
    return cases;
}

} // namespace

class TestInputs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void shouldHandTheValueToCommands_data()
    {
        QTest::addColumn<int>("row");
        if (allCases().empty())
            QSKIP("no input cases");
        for (size_t i = 0; i < allCases().size(); ++i)
            QTest::newRow(allCases()[i].name) << int(i);
    }

    void shouldHandTheValueToCommands()
    {
        QFETCH(int, row);
        const InputCase &c = allCases()[size_t(row)];
        kivtest::Form form;
        QVERIFY(form.build(c.mc));
        if (c.act)
            c.act(form);
        QCOMPARE(form.var(0), c.expected);
    }

    // Text inputs and choices: further tests
    void shouldNameInputsAndKeepPasswordsFromCopies()
    {
        kivtest::Form form;
        QVERIFY(form.build("<f><label text=\"PIN:\"/><password var=\"P\" text=\"s3cret\"/>"
                           "<label text=\"Speed:\"/><radio var=\"R\">echo a</radio></f>"));
        QCOMPARE(form.find<MRadio>()->groupBox()->accessibleName(), QStringLiteral("Speed"));
        QLineEdit *password = form.find<QLineEdit>();
        QVERIFY(!password->dragEnabled());
        password->selectAll();
        const std::unique_ptr<QMenu> menu(password->createStandardContextMenu());
        int copying = 0;
        for (const QAction *action : menu->actions()) {
            if (action->text().contains(QLatin1String("&Copy")) || action->text().contains(QLatin1String("Cu&t")))
                copying += action->isEnabled() ? 100 : 1;
        }
        QCOMPARE(copying, 2);
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(password);
        QCOMPARE(spoken->text(QAccessible::Name), QStringLiteral("PIN"));
        for (QAccessible::Text role : {QAccessible::Description, QAccessible::Value, QAccessible::Help})
            QVERIFY(!spoken->text(role).contains(QLatin1String("s3")));
        QVERIFY(!spoken->textInterface()->text(0, 6).contains(QLatin1String("s3")));
    }

    void shouldWarnAboutValuesThatChangeNothing()
    {
        const std::pair<QByteArray, QByteArray> rows[] = {
            {"<checkbox checked=\"yes\"/>", "1:11: warning: checked \"yes\" leaves the box unticked"},
            {"<checkbox checked=\" 1 \"><checked>echo yes</checked></checkbox>", ""},
            {"<radio mode=\"x\"/>", "1:8: warning: mode \"x\" changes nothing: a radio group"},
            {"<radio mode=\"h\" title=\"T\"/>", ""},
            {"<password text=\"s3\"cret\"\"/>", "1:19: warning: this double quote ends the value of 'text' early "
                                             "(the value is hidden)"},
            {"<password text=\"s3\"cret width=\"9\"/>", "1:19: warning: this double quote ends the value of 'text' "
                                                       "early (the value is hidden)"},
            {"<password text=\"s3\"cret=\"s3\"cret/>", "1:19: warning: this double quote ends the value of 'text' "
                                                     "early (the value is hidden)"},
        };
        for (const auto &[mc, said] : rows) {
            const QByteArray found = formatDiagnostics("f.mc", checkFormText(mc));
            QVERIFY2(said.isEmpty() ? found.isEmpty() : found.startsWith(QByteArray("f.mc:" + said)), found.constData());
            QVERIFY(!found.contains("s3") && !found.contains("cret"));
        }
    }

    // Numbers and pickers: further tests
    void shouldNameNumbersAndPickersByTheirLabels()
    {
        kivtest::Form form;
        QVERIFY(form.build("<vlayout><label text=\"Copies:\"/><number var=\"N\"/><label text=\"Volume\"/>"
                           "<slider var=\"S\"/><label text=\"Due:\"/><date var=\"D\"/><label text=\"Ink\"/>"
                           "<color var=\"C\"/><number var=\"BARE\"/></vlayout>"));
        const std::pair<QWidget *, const char *> expected[] = {
            {form.find<MNumber>(0)->input(), "Copies"},  {form.find<MNumber>(1)->input(), "Volume"},
            {form.find<MDate>()->dateEdit(), "Due"},      {form.find<MColor>()->swatchButton(), "Ink"},
            {form.find<MNumber>(2)->input(), "BARE"},
        };
        for (const auto &[widget, name] : expected)
            QCOMPARE(widget->accessibleName(), QString::fromUtf8(name));
        QCOMPARE(form.find<MColor>()->swatchButton()->accessibleDescription(), QStringLiteral("#000000"));
    }

    // The dialog runs modally: act on it from the event loop it waits in.
    void shouldTakeTheColourOnlyWhenTheDialogIsAccepted()
    {
        for (const bool accept : {true, false}) {
            kivtest::Form form;
            QVERIFY(form.build("<vlayout><color var=\"C\" text=\"#3366cc\"/></vlayout>"));
            MColor *color = form.find<MColor>();
            bool seen = false;
            QTimer::singleShot(0, color, [&] {
                QWidget *modal = QApplication::activeModalWidget();
                auto *dialog = qobject_cast<QColorDialog *>(modal);
                if (!dialog) {
                    if (modal)
                        modal->close(); // not ours: never leave the test waiting in it
                    return;
                }
                seen = dialog->currentColor() == QColor(0x33, 0x66, 0xcc);
                dialog->setCurrentColor(QColor(0xab, 0x12, 0xef));
                accept ? dialog->accept() : dialog->reject();
            });
            // Opened by a click, or by Return as any focused button is.
            if (accept)
                QTest::mouseClick(color->swatchButton(), Qt::LeftButton);
            else
                QTest::keyClick(color->swatchButton(), Qt::Key_Return);
            QVERIFY(seen);
            QCOMPARE(form.var(0), accept ? QByteArray("#ab12ef") : QByteArray("#3366cc"));
            QVERIFY(!color->findChild<QColorDialog *>());
        }
    }

    void shouldPickADateFromTheCalendarByKeyboard()
    {
        kivtest::Form form;
        QVERIFY(form.build("<vlayout><date var=\"D\" text=\"2025-02-28\"/></vlayout>"));
        QDateEdit *edit = form.find<MDate>()->dateEdit();
        QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        QCalendarWidget *calendar = edit->calendarWidget();
        QTRY_VERIFY_WITH_TIMEOUT(calendar->isVisible(), 5000);
        auto *days = calendar->findChild<QAbstractItemView *>();
        QTest::keyClick(days, Qt::Key_Right);
        QTest::keyClick(days, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!calendar->isVisible(), 5000);
        QCOMPARE(form.var(0), QByteArray("2025-03-01"));
    }

    // Tables: further tests
    // Header clicks: the first column's texts in the order shown.
    void shouldSortTablesByClickedColumn_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("shown");
        QTest::newRow("numbers as numbers") << 0 << 1 << QStringLiteral("-1.5 9 10 100 1e3 nan x");
        QTest::newRow("numbers descending") << 0 << 2 << QStringLiteral("x nan 1e3 100 10 9 -1.5");
        QTest::newRow("text by bytes, ties in row order") << 1 << 1 << QStringLiteral("9 x 10 100 -1.5 1e3 nan");
        QTest::newRow("text with a shared start") << 2 << 1 << QStringLiteral("nan 9 1e3 10 x 100 -1.5");
    }
    void shouldSortTablesByClickedColumn()
    {
        QFETCH(int, column);
        QFETCH(int, clicks);
        QFETCH(QString, shown);
        kivtest::Form form;
        QVERIFY(form.build("<vlayout><table var=\"T\" columns=\"n|name|path\" select=\"multi\">"
                           "printf '10\\tb\\t/p/ab\\n#9\\tB\\t/p/a\\n100\\tb\\t/p/abcdefghij2\\n"
                           "x\\tB\\t/p/abcdefghij1\\n"
                           "#-1.5\\tb\\t/p/b\\n1e3\\tc\\t/p/a\\nnan\\tc\\t/p/\\n'</table>"
                           "</vlayout>"));
        QTableView *view = tableView(form);
        QHeaderView *header = view->horizontalHeader();
        for (int i = 0; i < clicks; ++i)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        QStringList texts;
        for (int r = 0; r < view->model()->rowCount(); ++r)
            texts << view->model()->index(r, 0).data().toString();
        QCOMPARE(texts.join(QLatin1Char(' ')), shown);
        // The selection moves with its rows, and the value keeps the rows' first order.
        QCOMPARE(form.var(0), QByteArray("9\n-1.5"));
        QTRY_COMPARE(view->selectionModel()->selectedRows().size(), 2);
        for (const QModelIndex &index : view->selectionModel()->selectedRows())
            QVERIFY(QStringList({QStringLiteral("9"), QStringLiteral("-1.5")}).contains(index.data().toString()));
    }

    void shouldRunTheTableCommandOnReturnAndDoubleClick()
    {
        kivtest::Form form;
        QVERIFY(form.build("<vlayout><table var=\"T\" ondoubleclick=\"echo got $T\">printf '%s\\n' a b c</table>"
                           "</vlayout>"));
        QTableView *view = tableView(form);
        auto centre = [view](int row) { return view->visualRect(view->model()->index(row, 0)).center(); };
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre(0));
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
        QTRY_COMPARE(form.log1.toPlainText(), QStringLiteral("got b\n"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre(2));
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre(2));
        QTRY_COMPARE(form.log1.toPlainText(), QStringLiteral("got c\n"));
        // Tab leaves the table instead of walking its cells; the variable names it.
        QVERIFY(!view->tabKeyNavigation());
        QCOMPARE(view->accessibleName(), QStringLiteral("T"));
    }

    // What kiv --check says about raw table attributes ("" for nothing).
    void shouldCheckTableAttributes_data()
    {
        QTest::addColumn<QByteArray>("mc");
        QTest::addColumn<QByteArray>("warning");
        auto row = [](const char *name, const QByteArray &attributes, const char *warning) {
            QTest::newRow(name) << "<table " + attributes + ">true</table>" << QByteArray(warning);
        };
        row("known values", "select=\"multi\" separator=\"blanks\" column=\"2\" columns=\"a|b\"", "");
        row("select", "select=\"many\"", "1:8: warning: <table> select=\"many\"");
        row("separator", "separator=\" \"", "separator=\" \" is neither");
        row("column zero", "column=\"0\"", "column=\"0\" is not a column");
        row("column a word", "column=\"2x\"", "column=\"2x\" is not");
        row("column past the names", "columns=\"a|b\" column=\"3\"", "is past its 2 columns");
        row("too many names", "columns=\"" + QByteArray("c|").repeated(1000) + "c\"",
            "has 1001 column names: only the first 1000");
        QTest::newRow("a command is not judged")
            << QByteArray("<table code=\"true\"><select>echo many</select></table>") << QByteArray();
    }
    void shouldCheckTableAttributes()
    {
        QFETCH(QByteArray, mc);
        QFETCH(QByteArray, warning);
        const QByteArray out = formatDiagnostics("f.mc", checkFormText(mc));
        if (warning.isEmpty())
            QCOMPARE(out, QByteArray());
        else
            QVERIFY2(out.contains(warning) && out.count('\n') == 1, out.constData());
    }

    // A selection that sorting would scatter into thousands of pieces keeps the
    // rows' order; a narrower one follows its rows.
    void shouldSortOnlyWhatStaysSelectable()
    {
        kivtest::Form form;
        QVERIFY(form.build("<vlayout><table var=\"T\" columns=\"n|odd\" select=\"multi\">"
                           "seq 6000 | awk '{ print ($1 > 5000 ? \"#\" : \"\") $1 \"\\t\" $1 % 2 }'</table>"
                           "</vlayout>"));
        QTableView *view = tableView(form);
        const QByteArray chosen = form.var(0);
        QCOMPARE(chosen.count('\n'), 999);
        QHeaderView *header = view->horizontalHeader();
        header->setSortIndicator(1, Qt::AscendingOrder); // 500 even rows, then 500 odd: two runs
        QCOMPARE(view->model()->index(0, 0).data().toString(), QStringLiteral("2"));
        QCOMPARE(view->selectionModel()->selectedRows().size(), 1000);
        QCOMPARE(form.var(0), chosen);
        // Every even row: sorted by n they would alternate with the odd ones.
        view->selectionModel()->select(QItemSelection(view->model()->index(0, 0), view->model()->index(2999, 1)),
                                       QItemSelectionModel::ClearAndSelect);
        const QByteArray evens = form.var(0);
        QCOMPARE(evens.count('\n'), 2999);
        header->setSortIndicator(0, Qt::DescendingOrder);
        QCOMPARE(view->model()->index(0, 0).data().toString(), QStringLiteral("2"));
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(form.var(0), evens);
    }

    // Hostile outputs still give a usable table: long cells are shown cut but
    // handed on whole, wide rows fold into the last column.
    void shouldKeepHugeTablesUsable()
    {
        kivtest::Form form;
        QVERIFY(form.build("<vlayout><table var=\"T\" select=\"multi\">"
                           "printf '#'; head -c 100000 /dev/zero | tr '\\0' x; echo;"
                           "printf '#'; seq -s \"$(printf '\\t')\" 1 300</table></vlayout>"));
        const TableModel *model = form.find<MTable>()->model();
        QCOMPARE(model->columns(), TableModel::kMaxUnnamedColumns);
        const QString shown = model->index(0, 0).data().toString();
        QCOMPARE(shown.size(), TableModel::kMaxShownBytes + 1);
        QCOMPARE(form.var(0), QByteArray(100000, 'x') + "\n1");
        QVERIFY(model->field(1, TableModel::kMaxUnnamedColumns - 1).startsWith("100\t101\t"));
        QVERIFY(form.find<MTable>()->tableView()->horizontalHeader()->sectionSize(0) <= 400);
    }

    void shouldFitColumnsToLongCellsFarDown()
    {
        kivtest::Form form;
        QVERIFY(form.build("<vlayout><table var=\"T\" separator=\"blanks\">printf 'iiiiiiiiiiiiiiiiiiiiiiii b\\n';"
                           "seq 1000 | sed 's/$/ b/; 1000s/^/123456789/'; echo WWWWWWWWWWWWWW b</table></vlayout>"));
        MTable *table = form.find<MTable>();
        QHeaderView *header = table->tableView()->horizontalHeader();
        auto fits = [&](const char *cell) {
            return header->sectionSize(0) > table->tableView()->fontMetrics().horizontalAdvance(QString::fromUtf8(cell));
        };
        QVERIFY(fits("1234567891000"));
        QVERIFY(fits("WWWWWWWWWWWWWW"));
        // A read that brings a longer cell widens the column, unless the user has set its width.
        table->setRows("WWWWWWWWWWWWWWWWWWWWWW b\n", TableModel::Separator::Blanks, {});
        QVERIFY(fits("WWWWWWWWWWWWWWWWWWWWWW"));
        header->resizeSection(0, 30);
        table->setRows("WWWWWWWWWWWWWWWWWWWWWWWWWW b\n", TableModel::Separator::Blanks, {});
        QCOMPARE(header->sectionSize(0), 30);

        // Short cells in a narrow window: the last column only fills what is left.
        kivtest::Form narrow;
        QVERIFY(narrow.build("<vlayout><table var=\"T\" columns=\"N|T|U\">printf '1\\tshort\\tx\\n'</table></vlayout>"));
        narrow.window.resize(280, 300);
        QTRY_COMPARE(narrow.find<MTable>()->tableView()->horizontalScrollBar()->isVisible(), false);
        // So with many rows, whose longest cells are measured.
        kivtest::Form many;
        QVERIFY(many.build("<vlayout><table var=\"T\" columns=\"N|V\">seq 10000 | sed 's/.*/n&\tv&/'</table></vlayout>"));
        many.window.resize(280, 300);
        QTRY_COMPARE(many.find<MTable>()->tableView()->horizontalScrollBar()->isVisible(), false);
    }
};

QTEST_MAIN(TestInputs)
#include "tst_inputs.moc"
