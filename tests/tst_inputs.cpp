// The input widgets in one table: a form, what the user does to it, and the value
// that commands then see in the form's first variable.
#include "FormFixture.h"
#include "app/FormChecker.h"
#include "widgets/MTable.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>

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

    // Numbers and pickers: further tests

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
};

QTEST_MAIN(TestInputs)
#include "tst_inputs.moc"
