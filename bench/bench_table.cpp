// The table input with 100,000 rows of three columns, each figure next to a
// reference measured in the same run:
//   first paint  rows handed over as bytes (a command's output) to the first paint
//                of kiv's table vs a QTableView over a minimal QAbstractTableModel
//                holding the rows as QList<QStringList>
//   memory       heap the table keeps (the text included) over the text's size
//   sorting      a click on a header: by numbers and by text, vs a
//                QSortFilterProxyModel over the reference model
// and the same table with 1,000,000 rows, where nothing is compared: it must
// merely stay usable. Every figure is the median of several runs (offscreen).
// Usage: bench_table [runs]

#include "Measure.h"
#include "markup/LosslessText.h"
#include "widgets/MTable.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// Rows as `ps -eo pid,user,args` gives them, tab-separated, the pids shuffled.
QByteArray sampleRows(int count)
{
    static const char *const users[] = {"root", "ada", "www-data", "postgres", "messagebus"};
    QByteArray out;
    out.reserve(qsizetype(count) * 44);
    for (int i = 0; i < count; ++i) {
        out += QByteArray::number((qint64(i) * 7919) % 1000003);
        out += '\t';
        out += users[i % 5];
        out += "\t/usr/lib/program-";
        out += QByteArray::number(i % 977);
        out += " --option\n";
    }
    return out;
}

const QStringList kNames = {QStringLiteral("PID"), QStringLiteral("User"), QStringLiteral("Command")};

// The reference: rows decoded into strings once, served as they are.
class ListModel : public QAbstractTableModel
{
public:
    explicit ListModel(const QByteArray &text)
    {
        for (const QByteArray &line : text.split('\n')) {
            if (line.isEmpty())
                continue;
            QStringList row;
            for (const QByteArray &field : line.split('\t'))
                row << textFromBytes(field);
            m_rows << row;
        }
    }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? m_rows[index.row()].value(index.column()) : QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role == Qt::DisplayRole && orientation == Qt::Horizontal)
            return kNames.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QList<QStringList> m_rows;
};

class PaintWatch : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        painted |= event->type() == QEvent::Paint;
        return false;
    }
};

// A window holding one view; shown and waited for until the view has painted.
struct Shown
{
    std::unique_ptr<QWidget> window;
    std::unique_ptr<ListModel> model;

    void show(QWidget *content, QAbstractItemView *view)
    {
        window = std::make_unique<QWidget>();
        (new QVBoxLayout(window.get()))->addWidget(content);
        PaintWatch watch;
        view->viewport()->installEventFilter(&watch);
        window->resize(800, 600);
        window->show();
        while (!watch.painted)
            QApplication::processEvents();
        view->viewport()->removeEventFilter(&watch);
    }
    void reset()
    {
        window.reset();
        model.reset();
        QApplication::processEvents();
    }
};




} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.warning=false");
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;
    std::vector<Row> rows;

    const QByteArray text = sampleRows(100000);
    Shown kivShown, refShown;
    QByteArray handed;
    auto kivPaint = [&] {
        auto *table = new MTable;
        table->setMultiSelect(true);
        table->setRows(std::move(handed), TableModel::Separator::Tab, kNames);
        kivShown.show(table, table->tableView());
    };
    auto refPaint = [&] {
        refShown.model = std::make_unique<ListModel>(text);
        auto *view = new QTableView;
        // Row numbers and wrapping off, as in kiv's table.
        view->verticalHeader()->hide();
        view->setWordWrap(false);
        view->setModel(refShown.model.get());
        refShown.show(view, view);
    };
    auto release = [&] {
        kivShown.reset();
        refShown.reset();
        handed = QByteArray(text.constData(), text.size()); // the command's output, fresh
    };
    release();
    const auto [kiv, ref] = medianPair(runs, kivPaint, refPaint, release);
    rows.push_back({"100,000 rows: output to first paint", fmt("%.1f ms", kiv * 1e3),
                    fmt("%.1f ms", ref * 1e3) + " (QTableView, QList<QStringList>)", fmt("%.2fx", kiv / ref),
                    "<= 1.2x", kiv / ref <= 1.2});

    {
        TableModel model;
        QByteArray copy;
        const size_t before = heapInUse();
        copy = QByteArray(text.constData(), text.size());
        model.setRows(std::move(copy), TableModel::Separator::Tab, kNames);
        const size_t kept = heapInUse() - before;
        const size_t beforeRef = heapInUse();
        auto list = std::make_unique<ListModel>(text);
        const size_t keptRef = heapInUse() - beforeRef;
        const double ratio = double(kept) / double(text.size());
        rows.push_back({"  memory over the text (" + fmt("%.1f MB)", text.size() / 1e6), fmt("%.2fx", ratio),
                        fmt("%.2fx", double(keptRef) / double(text.size())) + " (QList<QStringList>)", "",
                        "<= 2x", ratio <= 2});

        QSortFilterProxyModel proxy;
        proxy.setSourceModel(list.get());
        // The proxy sorts only the mappings it has made; asking for the rows makes one.
        (void)proxy.rowCount();
        for (const auto &[column, what] : {std::pair{0, "numbers"}, std::pair{2, "text"}}) {
            // Each sort flips the order, so that none is a repeat that costs nothing.
            int kivFlips = 0, refFlips = 0;
            auto flipped = [](int &flips) { return ++flips % 2 ? Qt::AscendingOrder : Qt::DescendingOrder; };
            const auto [sorted, proxied] = medianPair(
                runs, [&] { model.sort(column, flipped(kivFlips)); },
                [&] {
                    proxy.sort(column, flipped(refFlips));
                    (void)proxy.index(0, 0).data();
                });
            rows.push_back({std::string("  sort by a column of ") + what, fmt("%.1f ms", sorted * 1e3),
                            fmt("%.1f ms", proxied * 1e3) + " (QSortFilterProxyModel)", fmt("%.2fx", sorted / proxied),
                            "< 200 ms", sorted < 0.2});
        }
    }

    // A million rows: nothing to compare with, it must stay usable.
    {
        const QByteArray million = sampleRows(1000000);
        MTable *table = nullptr;
        auto show = [&] {
            table = new MTable;
            table->setMultiSelect(true);
            table->setRows(std::move(handed), TableModel::Separator::Tab, kNames);
            kivShown.show(table, table->tableView());
        };
        std::vector<double> paint, sort, search, all, sortAll;
        // As a click on a header sorts.
        auto sortBy = [&](int column, Qt::SortOrder order) {
            table->tableView()->horizontalHeader()->setSortIndicator(column, order);
            QApplication::processEvents();
        };
        for (int i = 0; i < std::max(3, runs / 2); ++i) {
            handed = QByteArray(million.constData(), million.size());
            paint.push_back(seconds(show));
            sort.push_back(seconds([&] { sortBy(0, Qt::AscendingOrder); }));
            // A search that finds nothing reads every row's first cell.
            search.push_back(seconds([&] { table->tableView()->keyboardSearch(QStringLiteral("zz")); }));
            all.push_back(seconds([&] {
                table->tableView()->selectAll();
                QApplication::processEvents();
            }));
            sortAll.push_back(seconds([&] { sortBy(2, Qt::DescendingOrder); }));
            kivShown.reset();
        }
        auto alone = [&](const char *what, const std::vector<double> &times) {
            rows.push_back({what, fmt("%.1f ms", median(times) * 1e3), "", "", "", true});
        };
        alone("1,000,000 rows: output to first paint", paint);
        alone("  sort by numbers", sort);
        alone("  typing a text no row has", search);
        alone("  select all (value of 1,000,000 lines)", all);
        alone("  sort by text, every row selected", sortAll);
    }

    std::printf("%-42s | %-10s | %-44s | %-7s | %-8s | %s\n", "table input (median of runs)", "kiv", "reference",
                "ratio", "goal", "met");
    std::printf("%s\n", std::string(42 + 10 + 44 + 7 + 8 + 3 + 5 * 3, '-').c_str());
    bool ok = true;
    for (const Row &r : rows) {
        std::printf("%-42s | %-10s | %-44s | %-7s | %-8s | %s\n", r.what.c_str(), r.kiv.c_str(), r.reference.c_str(),
                    r.ratio.c_str(), r.goal.c_str(), r.goal.empty() ? "" : r.met ? "yes" : "NO");
        ok = ok && r.met;
    }
    std::printf("runs per figure: %d\n", runs);
    return ok ? 0 : 1;
}
