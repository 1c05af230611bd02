#include "widgets/MTable.h"

#include "markup/StaticValue.h"
#include "shell/BusyState.h"
#include "widgets/WidgetBuilders.h"
#include "widgets/WidgetSetup.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kMaxStartWidth = 400;
constexpr qsizetype kMaxSelectedRuns = 2000;
} // namespace

MTable::MTable(QWidget *parent) : QWidget(parent), m_view(new QTableView), m_model(new TableModel(this))
{
    m_view->setObjectName(QStringLiteral("tableView"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next widget instead of walking its cells.
    m_view->setTabKeyNavigation(false);
    m_view->setWordWrap(false);
    m_view->setShowGrid(false);
    m_view->setAlternatingRowColors(true);
    m_view->verticalHeader()->hide();
    QHeaderView *header = m_view->horizontalHeader();
    header->setObjectName(QStringLiteral("tableHeader"));
    header->setStretchLastSection(true);
    header->setHighlightSections(false);
    // Qt measures the first rows only (a million would hold the window); see fitColumns.
    header->setResizeContentsPrecision(50);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &MTable::sortBy);
    wrapInColumn(this, m_view);

    m_view->installEventFilter(this);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MTable::changeValue);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &MTable::activate);
}

void MTable::setMultiSelect(bool multi)
{
    m_multi = multi;
    m_view->setSelectionMode(multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void MTable::setRows(QByteArray text, TableModel::Separator separator, const QStringList &names)
{
    // Again: the rows whose values were selected stay selected, while there are any.
    std::vector<QByteArray> kept;
    for (int r : selectedRows())
        kept.push_back(m_model->field(r, m_valueColumn).toByteArray());
    const int columnsBefore = m_model->columns();
    m_quiet = true;
    m_model->setRows(std::move(text), separator, names);
    // The rows come in the order the user sorted them by.
    if (m_sortColumn >= 0)
        m_model->setOrder(m_model->sortedOrder(m_sortColumn, m_sortOrder));
    m_quiet = false;
    if (m_model->droppedRows() > 0)
        std::fprintf(stderr, "kiv: a table shows its first %lld rows; %lld more were left out\n",
                     static_cast<long long>(m_model->rows()), static_cast<long long>(m_model->droppedRows()));
    QHeaderView *header = m_view->horizontalHeader();
    header->setVisible(!names.isEmpty());
    fitColumns(m_model->columns() != columnsBefore);

    std::vector<int> chosen = rowsWithValues(kept);
    const bool keeping = !chosen.empty();
    if (!keeping)
        chosen = m_model->markedRows();
    if (!chosen.empty()) {
        QItemSelectionModel *selection = m_view->selectionModel();
        if (m_multi) {
            const std::vector<int> viewRows = viewRowsOf(chosen);
            if (!selectRuns(viewRows))
                std::fprintf(stderr, "kiv: a table starts with its first %lld runs of marked rows selected; the "
                                     "later marks are left out\n",
                             static_cast<long long>(kMaxSelectedRuns));
            selection->setCurrentIndex(m_model->index(viewRows.front(), 0), QItemSelectionModel::NoUpdate);
        } else {
            // The first row that still has the value, else the last marked one.
            const int row = viewRowsOf({keeping ? chosen.front() : chosen.back()}).front();
            selection->setCurrentIndex(m_model->index(row, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        // The view has no size until it is shown.
        const QPersistentModelIndex current = selection->currentIndex();
        QTimer::singleShot(0, m_view, [view = m_view, current] {
            if (current.isValid())
                view->scrollTo(current);
        });
    }
    changeValue();
}

std::vector<int> MTable::rowsWithValues(std::vector<QByteArray> values) const
{
    std::vector<int> rows;
    if (values.empty())
        return rows;
    std::sort(values.begin(), values.end());
    for (int r = 0; r < m_model->rows(); ++r) {
        if (std::binary_search(values.begin(), values.end(), m_model->field(r, m_valueColumn)))
            rows.push_back(r);
    }
    return rows;
}

void MTable::fitColumns(bool all)
{
    QHeaderView *header = m_view->horizontalHeader();
    if (all)
        m_fittedWidths.assign(size_t(m_model->columns()), -1);
    // Qt measures the first rows; the longest cells (in bytes) of each column are
    // measured too, wherever they are: numbers grow down a list. Widths the user
    // has set stay while the columns do.
    const int stretched = header->stretchLastSection() ? m_model->columns() - 1 : -1;
    std::vector<int> columns;
    for (int c = 0; c < m_model->columns(); ++c) {
        if (c != stretched && (all || header->sectionSize(c) == m_fittedWidths[size_t(c)]))
            columns.push_back(c);
    }
    if (columns.empty())
        return;
    const int most = std::clamp(4096 / std::max(1, m_model->columns()), 1, 16);
    const std::vector<std::vector<int>> longest = m_model->longestRows(most);
    const std::vector<int> place = viewPlaces();
    // All at once as Qt does it, which leaves the stretched last column to the
    // header; later one by one, only those the user has not resized.
    if (all)
        m_view->resizeColumnsToContents();
    for (const int c : columns) {
        if (!all)
            m_view->resizeColumnToContents(c);
        int width = header->sectionSize(c);
        for (const int row : longest[size_t(c)]) {
            const QModelIndex cell = m_model->index(place[size_t(row)], c);
            width = std::max(width, m_view->sizeHintForIndex(cell).width() + (m_view->showGrid() ? 1 : 0));
        }
        // A long cell would push the other columns out of sight; it can still be widened.
        m_fittedWidths[size_t(c)] = std::min(width, kMaxStartWidth);
        header->resizeSection(c, m_fittedWidths[size_t(c)]);
    }
}

std::vector<int> MTable::viewPlaces() const
{
    std::vector<int> place(size_t(m_model->rows()));
    for (int v = 0; v < m_model->rows(); ++v)
        place[size_t(m_model->sourceRow(v))] = v;
    return place;
}

std::vector<int> MTable::viewRowsOf(const std::vector<int> &rows) const
{
    const std::vector<int> place = viewPlaces();
    std::vector<int> viewRows;
    viewRows.reserve(rows.size());
    for (int row : rows)
        viewRows.push_back(place[size_t(row)]);
    std::sort(viewRows.begin(), viewRows.end());
    return viewRows;
}

std::vector<int> MTable::selectedRows() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange &range : m_view->selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(m_model->sourceRow(r));
    }
    // Usually in order already: an unsorted table, rows picked top to bottom.
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QByteArray MTable::value() const
{
    const std::vector<int> rows = selectedRows();
    qsizetype size = 0;
    for (int r : rows)
        size += m_model->field(r, m_valueColumn).size() + 1;
    QByteArray out;
    out.reserve(size);
    for (int r : rows) {
        if (r != rows.front())
            out += '\n';
        out += m_model->field(r, m_valueColumn);
    }
    return out;
}

bool MTable::selectRuns(const std::vector<int> &viewRows)
{
    // Whole-row ranges, selected without the Rows flag: Qt would merge each
    // widened range into the others, pair by pair.
    QItemSelection runs;
    const int lastColumn = std::max(m_model->columns() - 1, 0);
    size_t i = 0;
    while (i < viewRows.size() && runs.size() < kMaxSelectedRuns) {
        size_t last = i;
        while (last + 1 < viewRows.size() && viewRows[last + 1] == viewRows[last] + 1)
            ++last;
        runs.append(QItemSelectionRange(m_model->index(viewRows[i], 0), m_model->index(viewRows[last], lastColumn)));
        i = last + 1;
    }
    m_view->selectionModel()->select(runs, QItemSelectionModel::ClearAndSelect);
    return i == viewRows.size();
}

void MTable::sortBy(int column, Qt::SortOrder order)
{
    std::vector<quint32> sorted = m_model->sortedOrder(column, order);
    const std::vector<int> chosen = selectedRows();
    std::vector<int> place(static_cast<size_t>(m_model->rows()));
    for (size_t v = 0; v < place.size(); ++v)
        place[sorted.empty() ? v : sorted[v]] = int(v);
    std::vector<int> viewRows;
    viewRows.reserve(chosen.size());
    for (int row : chosen)
        viewRows.push_back(place[size_t(row)]);
    std::sort(viewRows.begin(), viewRows.end());
    qsizetype runs = viewRows.empty() ? 0 : 1;
    for (size_t i = 1; i < viewRows.size(); ++i)
        runs += viewRows[i] != viewRows[i - 1] + 1;
    // Ctrl-clicks compare every run with every other: past this they would hold
    // the window, so the rows keep their order until the selection is narrower.
    if (runs > kMaxSelectedRuns) {
        const QSignalBlocker quiet(m_view->horizontalHeader());
        m_view->horizontalHeader()->setSortIndicator(m_sortColumn, m_sortOrder);
        std::fprintf(stderr, "kiv: a table is not sorted: its selection would fall apart into %lld pieces\n",
                     static_cast<long long>(runs));
        return;
    }
    m_sortColumn = column;
    m_sortOrder = order;
    const int current = m_model->sourceRow(m_view->currentIndex().row());
    const int currentColumn = std::max(m_view->currentIndex().column(), 0);
    m_quiet = true;
    m_view->selectionModel()->clear();
    m_model->setOrder(std::move(sorted));
    selectRuns(viewRows);
    if (current >= 0)
        m_view->selectionModel()->setCurrentIndex(m_model->index(place[size_t(current)], currentColumn),
                                                  QItemSelectionModel::NoUpdate);
    m_quiet = false;
}

void MTable::changeValue()
{
    if (m_quiet)
        return;
    Q_EMIT valueChanged(m_varIndex, textFromBytes(value()));
}

void MTable::activate(const QModelIndex &index)
{
    if (!index.isValid() || !m_doubleClickCommand || !m_session)
        return;
    runUserCommand(*m_session, *m_doubleClickCommand, false, this, {});
}

bool MTable::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || (key->modifiers() & ~Qt::KeypadModifier))
        return false;
    QItemSelectionModel *selection = m_view->selectionModel();
    const auto row = QItemSelectionModel::Rows;
    if (m_multi && key->key() == Qt::Key_Space) {
        selection->select(current, QItemSelectionModel::Toggle | row);
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    // A double click selects its row first; the command must see the same value.
    if (!selection->isRowSelected(current.row()))
        selection->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect | row);
    activate(current);
    return true;
}

namespace {

// The raw value of an attribute written as one (a child element is a command,
// judged only when it runs).
const Element *plainAttribute(const Element *element, const char *name)
{
    const Element *a = element->namedChild(name);
    return a && a->isAttribute() ? a : nullptr;
}

QStringList columnNames(const OptText &columns)
{
    QStringList names;
    if (!hasText(columns))
        return names;
    for (const QByteArray &name : columns->split('|')) {
        if (names.size() == TableModel::kMaxNamedColumns)
            break;
        names.append(textFromBytes(name));
    }
    return names;
}

// The separator, the column names and the rows.
void readTable(FormSession &session, const Element *element, MTable *table)
{
    const TableModel::Separator separator = session.attribute(element, "separator") == "blanks"
                                                ? TableModel::Separator::Blanks
                                                : TableModel::Separator::Tab;
    const QStringList names = columnNames(session.attribute(element, "columns"));

    // Not trimmed: a row's leading tab is an empty first field, and trailing
    // blanks of the last row belong to it as they do in every other row.
    OptText rows = session.output(element);
    table->setRows(rows ? std::move(*rows) : QByteArray(), separator, names);
}

} // namespace

void checkTable(const Element *element, std::vector<TagWarning> &warnings)
{
    auto warn = [&](const Element *attribute, const QString &message) {
        warnings.push_back({attribute->offset(), message});
    };
    if (const Element *a = plainAttribute(element, "select")) {
        if (const OptText v = a->value(); v != "single" && v != "multi")
            warn(a, QStringLiteral("<table> select=\"%1\" is neither single nor multi: one row can be selected")
                        .arg(toQString(v)));
    }
    if (const Element *a = plainAttribute(element, "separator")) {
        if (const OptText v = a->value(); v != "tab" && v != "blanks")
            warn(a, QStringLiteral("<table> separator=\"%1\" is neither tab nor blanks: fields are split at tabs")
                        .arg(toQString(v)));
    }
    qsizetype names = 0;
    if (const Element *a = plainAttribute(element, "columns")) {
        const OptText v = a->value();
        names = hasText(v) ? v->count('|') + 1 : 0;
        if (names > TableModel::kMaxNamedColumns)
            warn(a, QStringLiteral("<table> has %1 column names: only the first %2 are shown")
                        .arg(names)
                        .arg(TableModel::kMaxNamedColumns));
    }
    if (const Element *a = plainAttribute(element, "column")) {
        const OptText v = a->value();
        const auto n = leadingInt(v.value_or(QByteArray()));
        const bool digits =
            hasText(v) && std::all_of(v->begin(), v->end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || !n || *n < 1)
            warn(a, QStringLiteral("<table> column=\"%1\" is not a column number (1, 2, ...): the first column is used")
                        .arg(toQString(v)));
        else if (names > 0 && *n > names)
            warn(a, QStringLiteral("<table> column=\"%1\" is past its %2 columns: the value is empty lines")
                        .arg(toQString(v))
                        .arg(names));
    }
}

void buildTable(FormSession &session, const Element *element, QLayout *parent)
{
    auto *table = new MTable;
    bindValue(session, element, table, &MEnvVar::takeDecoded);

    table->setMultiSelect(session.attribute(element, "select") == "multi");
    const auto column = leadingInt(session.attribute(element, "column").value_or(QByteArray()));
    table->setValueColumn(column && *column >= 1 ? *column - 1 : 0);
    if (const OptText command = session.written(element, "ondoubleclick"); hasText(command))
        table->setDoubleClickCommand(&session, command);
    readTable(session, element, table);

    applySizeAttributes(session, element, table->tableView());
    placeWidget(parent, table);
}

void reloadTable(FormSession &session, const Element *element, QWidget *widget)
{
    if (auto *table = qobject_cast<MTable *>(widget))
        readTable(session, element, table);
}
