#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <vector>

// The rows of a command's output as a table. The output is kept once, as it came;
// a row is the offset of its first field, and a cell is found and decoded only when
// asked for, so a million rows cost little more than their bytes. Sorting orders
// a permutation of the rows, never the text.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Separator { Tab, Blanks };

    // Beyond these a table is no longer read by anyone; more names are dropped,
    // wider rows join the last column.
    static constexpr int kMaxNamedColumns = 1000;
    static constexpr int kMaxUnnamedColumns = 100;
    // Row indexes are ints, and the views keep a few bytes per row of their own.
    static constexpr qsizetype kMaxRows = 5'000'000;
    // A cell shows at most this many bytes (and an ellipsis): laying out a line of
    // megabytes would hold the window. Values and sorting use the whole cell.
    static constexpr qsizetype kMaxShownBytes = 4096;

    explicit TableModel(QObject *parent = nullptr);

    // Takes the rows: one per non-empty line (lines end at '\n' only). A line
    // starting with '#' is marked, the '#' not part of its first field. With
    // names, there are that many columns; without, as many as the widest row has.
    // Extra fields join the last column, separators included.
    void setRows(QByteArray text, Separator separator, const QStringList &names);

    // Rows are numbered as they came; the view shows them in order().
    int rows() const { return int(m_rowStart.size()); }
    int columns() const { return m_columns; }
    const std::vector<int> &markedRows() const { return m_marked; }
    // The original row shown at a view row.
    int sourceRow(int viewRow) const;
    // The bytes of a cell, as written (empty past the row's fields).
    QByteArrayView field(int row, int column) const;
    // For each column, the rows of its `most` longest cells (in bytes).
    std::vector<std::vector<int>> longestRows(int most) const;
    // How many rows were left out beyond kMaxRows.
    qsizetype droppedRows() const { return m_dropped; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Numbers (the whole cell) sort as numbers, before other texts, which sort by
    // their bytes; equal cells keep their rows' order. A column of -1 restores the
    // original order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The rows in the order sort() would show them (empty: as they came), and
    // showing them in such an order; persistent indexes follow their rows.
    std::vector<quint32> sortedOrder(int column, Qt::SortOrder order) const;
    void setOrder(std::vector<quint32> order);
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;

private:
    QByteArrayView line(int row) const;
    // Where the field after the one at pos starts in a row's text; -1: it has none.
    qsizetype nextField(QByteArrayView text, qsizetype pos) const;
    QByteArrayView fieldAt(QByteArrayView text, qsizetype pos, bool last) const;

    QByteArray m_text;
    std::vector<quint32> m_rowStart; // first byte of each row's first field
    std::vector<quint32> m_rowEnd;   // its '\n' (or the end of the text)
    std::vector<quint32> m_order;    // view row -> row; empty: as they came
    std::vector<int> m_marked;
    QStringList m_names;
    Separator m_separator = Separator::Tab;
    int m_columns = 0;
    qsizetype m_dropped = 0;
};
