// The input widgets in one table: a form, what the user does to it, and the value
// that commands then see in the form's first variable.
#include "FormFixture.h"

#include "app/FormChecker.h"
#include "widgets/MRadio.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QMenu>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

#include <functional>
#include <vector>

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
void keys(QWidget *widget, std::initializer_list<Qt::Key> keys)
{
    for (Qt::Key key : keys)
        QTest::keyClick(widget, key);
}
// Arrow keys go to the chosen button, which holds the group's focus.
void radioKeys(kivtest::Form &form, std::initializer_list<Qt::Key> pressed)
{
    for (Qt::Key key : pressed) {
        MRadio *radio = form.find<MRadio>();
        QTest::keyClick(radio->button(radio->chosen()), key);
    }
}
void typeInto(QWidget *widget, const QString &text)
{
    widget->setFocus();
    kivtest::typeText(widget, text);
}

QByteArray seq(int last)
{
    QByteArray all;
    for (int i = 1; i <= last; ++i)
        all += QByteArray::number(i) + (i < last ? "\n" : "");
    return all;
}

std::vector<InputCase> textInputCases()
{
    using kivtest::Form;
    return {
        {"password text", "<f><password var=\"P\" text=\"it's $(id)\"/></f>", nullptr, "it's $(id)"},
        {"password typed", "<f><password var=\"P\">printf 'a'</password></f>",
         [](Form &f) { typeInto(f.find<QLineEdit>(), QString::fromUtf8("'\"$(x)\u00e9")); },
         "a'\"$(x)\xc3\xa9"},
        {"password bytes", "<f><password var=\"P\">printf 'x\\377'</password></f>", nullptr, "x\xff"},
        {"checked", "<f><checkbox var=\"C\" checked=\" 1 \"/></f>", nullptr, "1"},
        {"checked as a command", "<f><checkbox var=\"C\"><checked>echo 1</checked><code>echo L</code></checkbox></f>",
         [](Form &f) { QCOMPARE(f.find<QCheckBox>()->text(), QStringLiteral("L")); }, "1"},
        {"checked other text", "<f><checkbox var=\"C\" checked=\"yes\"><checked>echo 1</checked></checkbox></f>",
         nullptr, "0"},
        {"checked by 10", "<f><checkbox var=\"C\"><checked>echo 10</checked></checkbox></f>", nullptr, "0"},
        {"checked then Space", "<f><checkbox var=\"C\" checked=\"1\"/></f>",
         [](Form &f) { keys(f.find<QCheckBox>(), {Qt::Key_Space}); }, "0"},
        {"radio first", "<f><radio var=\"R\">printf '%s\\n' fast safe</radio></f>", nullptr, "fast"},
        {"radio marked", "<f><radio var=\"R\">printf '%s\\n' fast '#safe' slow</radio></f>", nullptr, "safe"},
        {"radio Down", "<f><radio var=\"R\">printf '%s\\n' fast '#safe' slow</radio></f>",
         [](Form &f) { radioKeys(f, {Qt::Key_Down, Qt::Key_Down}); }, "slow"},
        {"radio Up", "<f><radio var=\"R\">printf '%s\\n' fast '#safe' slow</radio></f>",
         [](Form &f) { radioKeys(f, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Right}); }, "safe"},
        {"radio row", "<f><radio var=\"R\" mode=\"h\">printf '%s\\n\\n' one two</radio></f>",
         [](Form &f) { radioKeys(f, {Qt::Key_Right}); }, "two"},
        {"radio exact entries",
         "<f><radio var=\"R\">printf 'a&b\\n#it\\047s \"$(id)\" `x` \\\\n\\nc\\r\\nx\\377'</radio></f>",
         [](Form &f) {
             QCOMPARE(f.find<MRadio>()->count(), 4);
             QCOMPARE(f.find<MRadio>()->button(0)->text(), QStringLiteral("a&&b"));
         },
         "it's \"$(id)\" `x` \\n"},
        {"radio bytes", "<f><radio var=\"R\">printf 'x\\377\\n#\\n'</radio></f>",
         [](Form &f) { radioKeys(f, {Qt::Key_Home}); }, "x\xff"},
        {"radio empty", "<f><radio var=\"R\">true</radio></f>", nullptr, ""},
        {"radio 10000", "<f><radio var=\"R\">seq 10000</radio></f>", [](Form &f) {
             radioKeys(f, {Qt::Key_End, Qt::Key_Up});
             QVERIFY(f.find<QScrollArea>()->viewport()->rect().contains(
                 f.find<MRadio>()->button(9998)->geometry().center()
                 - QPoint(0, f.find<QScrollArea>()->verticalScrollBar()->value())));
         }, "9999"},
        {"textarea two lines", "<f><textarea var=\"T\">echo one</textarea></f>",
         [](Form &f) {
             auto *edit = f.find<QPlainTextEdit>();
             edit->setFocus();
             keys(edit, {Qt::Key_End, Qt::Key_Return});
             kivtest::typeText(edit, QString::fromUtf8("t\u00a0o"));
             keys(edit, {Qt::Key_Return});
             kivtest::typeText(edit, QStringLiteral("$(x) 'q'"));
         },
         "one\nt\xc2\xa0o\n$(x) 'q'"},
        {"textarea exact start", "<f><textarea var=\"T\">printf 'a\\r\\n\\n\\377\\042'</textarea></f>", nullptr,
         "a\r\n\n\xff\""},
        {"textarea Tab leaves", "<f><textarea var=\"T\" text=\"x\"/><text var=\"U\"/></f>",
         [](Form &f) {
             auto *edit = f.find<QPlainTextEdit>();
             edit->setFocus();
             keys(edit, {Qt::Key_Tab});
             QVERIFY(!edit->hasFocus());
         },
         "x"},
        {"textarea too long", "<f><textarea var=\"T\">seq 100000</textarea></f>",
         [](Form &f) {
             auto *edit = f.find<QPlainTextEdit>();
             QVERIFY(edit->isReadOnly());
             typeInto(edit, QStringLiteral("y"));
         },
         seq(100000)},
    };
}

// Numbers and pickers: number, slider, date, color.
std::vector<InputCase> pickerCases()
{
    return {};
}

// Tables.
std::vector<InputCase> tableCases()
{
    return {};
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
    void shouldKeepAPasswordOutOfClipboardAndScreenReaders()
    {
        kivtest::Form form;
        QVERIFY(form.build("<f><label text=\"PIN:\"/><password var=\"P\" text=\"s3cret\"/>"
                           "<text var=\"T\" text=\"plain\"/></f>"));
        const auto edits = form.window.findChildren<QLineEdit *>();
        QClipboard *clipboard = QGuiApplication::clipboard();
        // The plain box shows that copying works here at all.
        for (const auto &[edit, copied] : {std::pair(edits[0], "before"), std::pair(edits[1], "plain")}) {
            clipboard->setText(QStringLiteral("before"));
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
            QCOMPARE(clipboard->text(), QString::fromUtf8(copied));
        }
        QLineEdit *password = edits[0];
        QVERIFY(!password->dragEnabled());
        password->selectAll();
        const std::unique_ptr<QMenu> menu(password->createStandardContextMenu());
        int copying = 0;
        for (const QAction *action : menu->actions()) {
            if (action->text().contains(QLatin1String("&Copy")) || action->text().contains(QLatin1String("Cu&t"))) {
                QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
                ++copying;
            }
        }
        QCOMPARE(copying, 2);

        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(password);
        QCOMPARE(spoken->text(QAccessible::Name), QStringLiteral("PIN"));
        for (QAccessible::Text role : {QAccessible::Name, QAccessible::Description, QAccessible::Value,
                                       QAccessible::Help})
            QVERIFY(!spoken->text(role).contains(QLatin1String("s3")));
        QVERIFY(!spoken->textInterface()->text(0, 6).contains(QLatin1String("s3")));
        QCOMPARE(form.var(0), QByteArray("s3cret"));
    }

    void shouldWarnAboutValuesThatChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("mc");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("checked yes") << QByteArray("<checkbox checked=\"yes\"/>") << QByteArray("1:11: warning: checked \"yes\" leaves the box unticked");
        QTest::newRow("checked 1") << QByteArray("<checkbox checked=\" 1 \"/>") << QByteArray();
        QTest::newRow("checked by a command") << QByteArray("<checkbox><checked>echo yes</checked></checkbox>")
                                              << QByteArray();
        QTest::newRow("radio mode") << QByteArray("<radio mode=\"x\"/>") << QByteArray("1:8: warning: mode \"x\" changes nothing: a radio group");
        QTest::newRow("radio row") << QByteArray("<radio mode=\"h\" title=\"T\"/>") << QByteArray();
        QTest::newRow("password hidden") << QByteArray("<password text=\"s3\"cret\"\"/>")
                                         << QByteArray("1:19: warning: this double quote ends the value of 'text' early (the value is hidden)");
    }
    void shouldWarnAboutValuesThatChangeNothing()
    {
        QFETCH(QByteArray, mc);
        QFETCH(QByteArray, said);
        const QByteArray found = formatDiagnostics("f.mc", checkFormText(mc));
        QVERIFY2(said.isEmpty() ? found.isEmpty() : found.startsWith(QByteArray("f.mc:" + said)), found.constData());
        QVERIFY(!found.contains("s3"));
    }

    void shouldStopTabOnceAtARadioGroup()
    {
        kivtest::Form form;
        QVERIFY(form.build("<f><text var=\"A\"/><label text=\"Speed:\"/><radio var=\"R\">printf '%s\\n' a '#b' c</radio>"
                           "<radio var=\"S\" title=\"Mode\">echo m</radio><text var=\"B\"/></f>"));
        form.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form.window));
        MRadio *radio = form.find<MRadio>(0);
        const auto edits = form.window.findChildren<QLineEdit *>();
        edits[0]->setFocus();
        const QWidget *stops[] = {radio->button(1), form.find<MRadio>(1)->button(0), edits[1]};
        for (const QWidget *stop : stops) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), stop);
        }
        QTest::keyClick(radio->button(1), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), radio->button(2));
        QCOMPARE(radio->button(2)->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(radio->button(1)->focusPolicy(), Qt::ClickFocus);
        QCOMPARE(QAccessible::queryAccessibleInterface(radio->groupBox())->text(QAccessible::Name),
                 QStringLiteral("Speed"));
        QCOMPARE(QAccessible::queryAccessibleInterface(form.find<MRadio>(1)->groupBox())->text(QAccessible::Name),
                 QStringLiteral("Mode"));
    }

    // Numbers and pickers: further tests

    // Tables: further tests
};

QTEST_MAIN(TestInputs)
#include "tst_inputs.moc"
