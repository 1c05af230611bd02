// The input widgets in one table: a form, what the user does to it, and the value
// that commands then see in the form's first variable.
#include "FormFixture.h"

#include "app/FormChecker.h"
#include "widgets/MRadio.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
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
        };
        for (const auto &[mc, said] : rows) {
            const QByteArray found = formatDiagnostics("f.mc", checkFormText(mc));
            QVERIFY2(said.isEmpty() ? found.isEmpty() : found.startsWith(QByteArray("f.mc:" + said)), found.constData());
            QVERIFY(!found.contains("s3"));
        }
    }

    // Numbers and pickers: further tests

    // Tables: further tests
};

QTEST_MAIN(TestInputs)
#include "tst_inputs.moc"
