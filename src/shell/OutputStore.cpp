#include "shell/OutputStore.h"

#include <QLocale>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool isContinuation(char c) { return (uchar(c) & 0xC0) == 0x80; }

} // namespace

OutputStore::OutputStore(qint64 limit) : m_limit(limit) { clear(); }

void OutputStore::clear()
{
    m_bytes = QByteArray("");
    m_dropped = 0;
    m_finished = false;
    m_checkpoints.clear();
    m_closed = 0;
    m_tailStart = 0;
}

qint64 OutputStore::append(const QByteArray &piece)
{
    const qint64 room = std::max<qint64>(0, m_limit - m_bytes.size());
    const qint64 kept = std::min<qint64>(room, piece.size());
    if (kept == piece.size() && m_bytes.isEmpty()) {
        m_bytes = piece;
    } else if (kept > 0) {
        // QByteArray's own growth copies into a new block, so that memory peaks at
        // twice the output; reserve() grows the block in place.
        const qint64 need = m_bytes.size() + kept;
        if (need > m_bytes.capacity() || !m_bytes.isDetached())
            m_bytes.reserve(std::min(std::max({need, 2 * qint64(m_bytes.capacity()), qint64(1) << 20}), std::max(need, m_limit)));
        m_bytes.append(piece.constData(), kept);
    }
    m_dropped += piece.size() - kept;
    return piece.size() - kept;
}

void OutputStore::finish(qint64 droppedElsewhere)
{
    m_dropped += std::max<qint64>(0, droppedElsewhere);
    m_finished = true;
}

qint64 OutputStore::memoryUse() const
{
    return m_bytes.size() + m_checkpoints.size() * qint64(sizeof(qint64));
}

qint64 OutputStore::cutPoint(qint64 start) const
{
    const char *d = m_bytes.constData();
    const qint64 end = start + kBlockBytes;
    // A long line of words is cut after a blank, where it would wrap anyway.
    for (qint64 p = end; p > end - kBlockBytes / 4; --p) {
        if (d[p - 1] == ' ' || d[p - 1] == '\t')
            return p;
    }
    // Never inside a UTF-8 sequence.
    qint64 p = end;
    while (p > end - 3 && isContinuation(d[p]))
        --p;
    return p;
}

OutputStore::Scan OutputStore::scan(qint64 start) const
{
    const char *d = m_bytes.constData();
    const qint64 n = m_bytes.size();
    Scan s;
    s.block.start = start;
    // from: where the line was last returned to with CR.
    for (qint64 from = start;;) {
        // One byte more than a block: a line end right there still ends this line.
        const qint64 limit = std::min(n, from + kBlockBytes + 1);
        if (const auto *lf = static_cast<const char *>(std::memchr(d + from, '\n', size_t(limit - from)))) {
            s.block.length = lf - d - start;
            s.block.next = lf - d + 1;
            s.closed = true;
            return s;
        }
        if (limit < from + kBlockBytes + 1) {
            s.block.length = n - start;
            s.block.next = n;
            return s;
        }
        const auto *cr = static_cast<const char *>(memrchr(d + from, '\r', size_t(limit - from)));
        if (!cr) {
            s.block.next = cutPoint(from);
            s.block.length = s.block.next - start;
            s.block.cut = true;
            s.closed = true;
            return s;
        }
        from = cr - d + 1;
    }
}

bool OutputStore::indexSome(qint64 maxBlocks) const
{
    for (qint64 n = 0; n < maxBlocks; ++n) {
        const Scan s = scan(m_tailStart);
        if (!s.closed)
            return true;
        if ((m_closed & ((1 << kCheckpointShift) - 1)) == 0)
            m_checkpoints.append(m_tailStart);
        ++m_closed;
        m_tailStart = s.block.next;
    }
    return !scan(m_tailStart).closed;
}

qint64 OutputStore::blockCount() const
{
    indexSome(std::numeric_limits<qint64>::max());
    return m_closed + 1;
}

OutputStore::Block OutputStore::block(qint64 index) const
{
    const QList<Block> one = blocks(index, 1);
    return one.isEmpty() ? Block{m_tailStart, 0, m_tailStart, false} : one.first();
}

QList<OutputStore::Block> OutputStore::blocks(qint64 first, qint64 count) const
{
    QList<Block> out;
    first = std::clamp<qint64>(first, 0, m_closed);
    count = std::min(count, m_closed + 1 - first);
    if (count <= 0)
        return out;
    out.reserve(count);
    qint64 i = first >> kCheckpointShift << kCheckpointShift;
    qint64 start = i < m_closed ? m_checkpoints[i >> kCheckpointShift] : m_tailStart;
    for (; i < first + count; ++i) {
        const Block b = scan(start).block;
        if (i >= first)
            out.append(b);
        start = b.next;
    }
    return out;
}

qint64 OutputStore::blockAt(qint64 offset) const
{
    if (offset >= m_tailStart)
        return m_closed;
    const auto after = std::upper_bound(m_checkpoints.cbegin(), m_checkpoints.cend(), offset);
    qint64 i = qint64(after - m_checkpoints.cbegin() - 1) << kCheckpointShift;
    for (qint64 start = m_checkpoints[i >> kCheckpointShift];; ++i) {
        const qint64 next = scan(start).block.next;
        if (offset < next)
            return i;
        start = next;
    }
}

QString OutputStore::leftOutNotice() const
{
    if (m_dropped <= 0)
        return QString();
    QString amount = m_dropped == 1 ? QStringLiteral("1 more byte") : QString::number(m_dropped) + QStringLiteral(" more bytes");
    if (m_dropped >= 1024)
        amount += QStringLiteral(" (") + QLocale::c().formattedDataSize(m_dropped, 1, QLocale::DataSizeIecFormat) + QLatin1Char(')');
    return QStringLiteral("[kiv: ") + amount + QStringLiteral(" of output left out]");
}
