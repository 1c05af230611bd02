#include "widgets/TableModel.h"

#include "markup/LosslessText.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

namespace {

bool isFieldBlank(char c) { return c == ' ' || c == '\t'; }

qsizetype skipBlanks(QByteArrayView line, qsizetype pos)
{
    while (pos < line.size() && isFieldBlank(line[pos]))
        ++pos;
    return pos;
}

qsizetype skipWord(QByteArrayView line, qsizetype pos)
{
    while (pos < line.size() && !isFieldBlank(line[pos]))
        ++pos;
    return pos;
}

// Fields of a line, counting no further than max.
int fieldCount(QByteArrayView line, TableModel::Separator separator, int max)
{
    int count = 1;
    if (separator == TableModel::Separator::Tab) {
        const char *p = line.data(), *end = p + line.size();
        while (count < max && (p = static_cast<const char *>(std::memchr(p, '\t', size_t(end - p))))) {
            ++p;
            ++count;
        }
        return count;
    }
    qsizetype pos = skipWord(line, 0);
    while (count < max && (pos = skipBlanks(line, pos)) < line.size()) {
        ++count;
        pos = skipWord(line, pos);
    }
    return count;
}

// A whole cell that reads as a finite decimal number ("nan" and "inf" are words).
std::optional<double> numberOf(QByteArrayView cell)
{
    if (cell.isEmpty())
        return std::nullopt;
    const char first = cell[0] == '-' && cell.size() > 1 ? cell[1] : cell[0];
    if ((first < '0' || first > '9') && first != '.')
        return std::nullopt;
    double v = 0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
    if (error != std::errc() || end != cell.data() + cell.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

TableModel::TableModel(QObject *parent) : QAbstractTableModel(parent) {}

void TableModel::setRows(QByteArray text, Separator separator, const QStringList &names)
{
    beginResetModel();
    m_text = std::move(text);
    // Offsets are 32 bits: a larger output keeps its first 4 GiB of whole lines.
    constexpr qsizetype kMaxText = 0xFFFFFFFF;
    if (m_text.size() > kMaxText)
        m_text.truncate(m_text.lastIndexOf('\n', kMaxText - 1) + 1);
    // Output gathered in a growing buffer may hold up to twice its size.
    if (m_text.capacity() > m_text.size() + m_text.size() / 8)
        m_text.squeeze();
    m_separator = separator;
    m_names = names.mid(0, kMaxNamedColumns);
    m_rowStart.clear();
    m_rowEnd.clear();
    m_order.clear();
    m_marked.clear();
    m_dropped = 0;

    const char *d = m_text.constData();
    const qsizetype size = m_text.size();
    int widest = 0;
    for (qsizetype pos = 0; pos < size;) {
        const char *nl = static_cast<const char *>(std::memchr(d + pos, '\n', size_t(size - pos)));
        const qsizetype end = nl ? nl - d : size;
        qsizetype start = pos;
        pos = end + 1;
        if (start == end)
            continue;
        const bool marked = d[start] == '#';
        start += marked;
        if (separator == Separator::Blanks)
            start += skipBlanks(QByteArrayView(d + start, end - start), 0);
        if (start == end && !marked)
            continue;
        if (qsizetype(m_rowStart.size()) >= kMaxRows) {
            ++m_dropped;
            continue;
        }
        if (marked)
            m_marked.push_back(int(m_rowStart.size()));
        m_rowStart.push_back(quint32(start));
        m_rowEnd.push_back(quint32(end));
        if (m_names.isEmpty() && widest < kMaxUnnamedColumns)
            widest = std::max(widest, fieldCount(QByteArrayView(d + start, end - start), separator,
                                                 kMaxUnnamedColumns));
    }
    m_rowStart.shrink_to_fit();
    m_rowEnd.shrink_to_fit();
    m_columns = m_names.isEmpty() ? widest : int(m_names.size());
    endResetModel();
}

int TableModel::sourceRow(int viewRow) const
{
    if (viewRow < 0 || viewRow >= rows())
        return -1;
    return m_order.empty() ? viewRow : int(m_order[size_t(viewRow)]);
}

QByteArrayView TableModel::line(int row) const
{
    const qsizetype start = m_rowStart[size_t(row)];
    return QByteArrayView(m_text.constData() + start, qsizetype(m_rowEnd[size_t(row)]) - start);
}

qsizetype TableModel::nextField(QByteArrayView text, qsizetype pos) const
{
    if (m_separator == Separator::Tab) {
        const qsizetype tab = text.indexOf('\t', pos);
        return tab < 0 ? -1 : tab + 1;
    }
    pos = skipBlanks(text, skipWord(text, pos));
    return pos < text.size() ? pos : -1;
}

QByteArrayView TableModel::fieldAt(QByteArrayView text, qsizetype pos, bool last) const
{
    if (m_separator == Separator::Tab) {
        const qsizetype tab = last ? -1 : text.indexOf('\t', pos);
        return text.sliced(pos, (tab < 0 ? text.size() : tab) - pos);
    }
    qsizetype end = last ? text.size() : skipWord(text, pos);
    // Blanks at the end separate nothing.
    while (end > pos && isFieldBlank(text[end - 1]))
        --end;
    return text.sliced(pos, end - pos);
}

QByteArrayView TableModel::field(int row, int column) const
{
    if (row < 0 || row >= rows() || column < 0 || column >= m_columns)
        return {};
    const QByteArrayView text = line(row);
    qsizetype pos = 0;
    for (int i = 0; i < column && pos >= 0; ++i)
        pos = nextField(text, pos);
    return pos < 0 ? QByteArrayView() : fieldAt(text, pos, column == m_columns - 1);
}

std::vector<std::vector<int>> TableModel::longestRows(int most) const
{
    // Per column, its longest cells so far as (bytes, row), shortest first.
    std::vector<std::vector<std::pair<qsizetype, int>>> longest(static_cast<size_t>(m_columns));
    for (int row = 0; row < rows(); ++row) {
        const QByteArrayView text = line(row);
        qsizetype pos = 0;
        for (int column = 0; column < m_columns && pos >= 0; ++column) {
            auto &kept = longest[size_t(column)];
            const std::pair<qsizetype, int> cell(fieldAt(text, pos, column == m_columns - 1).size(), row);
            if (int(kept.size()) < most || cell.first > kept.front().first) {
                if (int(kept.size()) == most)
                    kept.erase(kept.begin());
                kept.insert(std::upper_bound(kept.begin(), kept.end(), cell,
                                             [](const auto &a, const auto &b) { return a.first < b.first; }),
                            cell);
            }
            pos = nextField(text, pos);
        }
    }
    std::vector<std::vector<int>> rowsOf(static_cast<size_t>(m_columns));
    for (size_t c = 0; c < longest.size(); ++c) {
        for (const auto &cell : longest[c])
            rowsOf[c].push_back(cell.second);
    }
    return rowsOf;
}

int TableModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : rows(); }

int TableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_columns; }

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const QByteArrayView cell = field(sourceRow(index.row()), index.column());
    if (cell.size() > kMaxShownBytes)
        return QString(textFromBytes(cell.first(kMaxShownBytes)) + QChar(0x2026));
    return textFromBytes(cell);
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= m_names.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_names[section];
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

std::vector<quint32> TableModel::sortedOrder(int column, Qt::SortOrder order) const
{
    if (column < 0 || column >= m_columns)
        return {};
    // Small keys side by side: an indirect comparison would miss the cache at
    // every step. A number's key is its bits, ordered as unsigned; a text's is
    // eight bytes after what all texts of the column share (paths, say), so that
    // most comparisons never reach the text itself.
    struct Key
    {
        quint64 head;
        quint32 start, size; // the text, for equal heads
        quint32 row;
        bool numeric;
    };
    const int n = rows();
    const char *text = m_text.constData();
    std::vector<Key> keys;
    keys.reserve(static_cast<size_t>(n));
    qsizetype shared = -1;
    QByteArrayView first;
    for (int r = 0; r < n; ++r) {
        const QByteArrayView cell = field(r, column);
        const auto v = numberOf(cell);
        quint64 head = 0;
        if (v) {
            head = std::bit_cast<quint64>(*v == 0 ? 0.0 : *v);
            head = head >> 63 ? ~head : head | (quint64(1) << 63);
        } else if (shared < 0) {
            first = cell;
            shared = cell.size();
        } else {
            qsizetype same = 0;
            while (same < shared && same < cell.size() && cell[same] == first[same])
                ++same;
            shared = same;
        }
        const auto start = quint32(cell.isEmpty() ? 0 : cell.data() - text);
        keys.push_back({head, start, quint32(cell.size()), quint32(r), v.has_value()});
    }
    for (Key &key : keys) {
        if (key.numeric)
            continue;
        for (qsizetype i = shared; i < shared + 8; ++i)
            key.head = key.head << 8 | (i < qsizetype(key.size) ? quint8(text[key.start + i]) : 0);
    }
    const bool ascending = order == Qt::AscendingOrder;
    auto textOf = [text](const Key &k) { return std::string_view(text + k.start, k.size); };
    // Equal cells keep their rows' order either way.
    std::sort(keys.begin(), keys.end(), [&](const Key &a, const Key &b) {
        if (a.numeric != b.numeric)
            return a.numeric == ascending;
        if (a.head != b.head)
            return (a.head < b.head) == ascending;
        if (!a.numeric && textOf(a) != textOf(b))
            return (textOf(a) < textOf(b)) == ascending;
        return a.row < b.row;
    });
    std::vector<quint32> result(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        result[i] = keys[i].row;
    return result;
}

void TableModel::setOrder(std::vector<quint32> order)
{
    const int n = rows();
    if (!order.empty() && order.size() != size_t(n))
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> kept;
    kept.reserve(size_t(before.size()));
    for (const QModelIndex &index : before)
        kept.push_back(sourceRow(index.row()));

    m_order = std::move(order);

    if (!before.isEmpty()) {
        std::vector<int> viewRow(static_cast<size_t>(n));
        for (int v = 0; v < n; ++v)
            viewRow[size_t(sourceRow(v))] = v;
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after.append(kept[size_t(i)] < 0 ? QModelIndex()
                                             : index(viewRow[size_t(kept[size_t(i)])], before[i].column()));
        changePersistentIndexList(before, after);
    }
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TableModel::sort(int column, Qt::SortOrder order) { setOrder(sortedOrder(column, order)); }

QModelIndexList TableModel::match(const QModelIndex &start, int role, const QVariant &value, int hits,
                                  Qt::MatchFlags flags) const
{
    // Typing in the view looks for a row starting with the text; compared as bytes
    // here, a million rows take a blink instead of a million decodings.
    const Qt::MatchFlags kind = flags & Qt::MatchTypeMask;
    if (role != Qt::DisplayRole || kind != Qt::MatchStartsWith || hits != 1 || !start.isValid()
        || (flags & Qt::MatchRecursive))
        return QAbstractTableModel::match(start, role, value, hits, flags);
    const QByteArray wanted = bytesFromText(value.toString());
    const bool caseSensitive = flags & Qt::MatchCaseSensitive;
    const int n = rows();
    const int from = start.row();
    const int end = (flags & Qt::MatchWrap) ? from + n : n;
    for (int i = from; i < end; ++i) {
        const int viewRow = i % n;
        const QByteArrayView cell = field(sourceRow(viewRow), start.column());
        if (cell.size() < wanted.size())
            continue;
        const QByteArrayView head = cell.first(wanted.size());
        if (caseSensitive ? head == wanted : qstrnicmp(head.data(), head.size(), wanted.data(), wanted.size()) == 0)
            return {index(viewRow, start.column())};
    }
    return {};
}
