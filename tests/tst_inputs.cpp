// The input widgets in one table: a form, what the user does to it, and the value
// that commands then see in the form's first variable.
#include "FormFixture.h"

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
std::vector<InputCase> textInputCases()
{
    return {};
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

    // Numbers and pickers: further tests

    // Tables: further tests
};

QTEST_MAIN(TestInputs)
#include "tst_inputs.moc"
