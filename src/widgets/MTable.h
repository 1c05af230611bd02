#pragma once

#include "markup/Element.h"
#include "shell/FormSession.h"
#include "widgets/TableModel.h"

#include <QString>
#include <QPointer>
#include <QWidget>

#include <vector>


class QTableView;
struct TagWarning;

// Rows to choose from, bound to a shell variable that holds one column of the
// selected rows, one per line, in the order the rows came. Return or a double
// click on a row runs a command.
class MTable : public QWidget
{
    Q_OBJECT
public:
    explicit MTable(QWidget *parent = nullptr);

    void setVarIndex(int index) { m_varIndex = index; }
    int varIndex() const { return m_varIndex; }
    QTableView *tableView() const { return m_view; }
    TableModel *model() const { return m_model; }

    // Several rows (Ctrl/Shift-click, Space) instead of one.
    void setMultiSelect(bool multi);
    // 0-based column whose text the value holds.
    void setValueColumn(int column) { m_valueColumn = column; }
    // The command runs in session's queue.
    void setDoubleClickCommand(FormSession *session, const OptText &command)
    {
        m_session = session;
        m_doubleClickCommand = command;
    }

    // Shows the rows; the marked ones start selected (in single mode the last of
    // them), and the value is reported. Called again, rows whose value was
    // selected stay selected while there are any, else the marked ones are.
    void setRows(QByteArray text, TableModel::Separator separator, const QStringList &names);

    // The selected rows' cells of the value column, joined by '\n'.
    QByteArray value() const;
    // Selected rows, as they came.
    std::vector<int> selectedRows() const;

Q_SIGNALS:
    void valueChanged(int index, const QString &value);

protected:
    // Return or Enter does what a double click does; in multi mode Space toggles
    // the current row.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void changeValue();
    // Sorts, and selects the same rows again in their new places: letting Qt
    // follow each selected row costs far more on large tables.
    void sortBy(int column, Qt::SortOrder order);
    // Selects whole rows, given as view rows in ascending order, as runs of
    // neighbours; false when there were too many runs to select them all.
    bool selectRuns(const std::vector<int> &viewRows);
    void activate(const QModelIndex &index);
    // Rows (as they came) whose value column holds one of values.
    std::vector<int> rowsWithValues(std::vector<QByteArray> values) const;
    // Column widths for the rows: all columns, or those the user has not resized.
    void fitColumns(bool all);
    // The view row of each row (as they came).
    std::vector<int> viewPlaces() const;
    // Where rows (as they came) are shown, in ascending order.
    std::vector<int> viewRowsOf(const std::vector<int> &rows) const;

    QTableView *m_view;
    TableModel *m_model;
    int m_varIndex = -1;
    int m_valueColumn = 0;
    bool m_multi = false;
    bool m_quiet = false; // the selection is being rebuilt: no value meanwhile
    std::vector<int> m_fittedWidths; // what fitColumns gave each column
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    OptText m_doubleClickCommand;
    QPointer<FormSession> m_session;
};

// What kiv --check says about a table's raw select, separator, columns and column.
void checkTable(const Element *element, std::vector<TagWarning> &warnings);
