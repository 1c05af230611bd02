#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Output kept for the text logs (the build setting KIV_OUTPUT_LIMIT, as for
// commands); what a command prints past it is counted, not kept.
inline constexpr qint64 kOutputLimitBytes = KIV_OUTPUT_LIMIT;

// The bytes of one output, kept once however many text logs show them, and an
// index of its display blocks. A block is a line, except that a line longer than
// kBlockBytes is cut into several blocks, so that a view never lays out more than
// that at once: a 50 MB line without a break costs no more than a page of text.
// Lines end at LF. A CR returns to the start of its line, which is drawn over (see
// TerminalText.h): a progress line redrawn a million times stays one block, cut
// only where kBlockBytes pass without a CR.
class OutputStore
{
public:
    static constexpr qint64 kBlockBytes = 4096;

    struct Block
    {
        qint64 start = 0;  // first byte
        qint64 length = 0; // bytes shown, without the line end
        qint64 next = 0;   // first byte of the following block
        bool cut = false;  // the line goes on in the following block
    };

    explicit OutputStore(qint64 limit = kOutputLimitBytes);

    // Starts a new output, releasing the previous one.
    void clear();
    // Keeps what fits under the limit and returns how many bytes were left out.
    // The first piece is shared, not copied.
    qint64 append(const QByteArray &piece);
    // The output has ended; droppedElsewhere were never handed over.
    void finish(qint64 droppedElsewhere);

    const QByteArray &bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }
    qint64 limit() const { return m_limit; }
    void setLimit(qint64 limit) { m_limit = limit; }
    qint64 droppedBytes() const { return m_dropped; }
    bool isFinished() const { return m_finished; }
    // Bytes held for the output and its index, whatever was appended.
    qint64 memoryUse() const;

    // The blocks as far as the output has arrived. The last block may still grow
    // until the output is finished; there is always at least one (maybe empty).
    qint64 blockCount() const;
    // Indexes what arrived, but no more than maxBlocks blocks of it, so that a
    // burst of empty lines does not hold up the window: true once all is indexed.
    bool indexSome(qint64 maxBlocks) const;
    // The blocks indexed so far (the last one may be followed by more output).
    qint64 indexedBlockCount() const { return m_closed + 1; }
    // These read the index as it stands.
    Block block(qint64 index) const;
    // count blocks from first on (fewer at the end).
    QList<Block> blocks(qint64 first, qint64 count) const;
    // The index of the block that holds byte offset (the last one past the end).
    qint64 blockAt(qint64 offset) const;

    // The line a text log ends with when output was left out ("" when none was).
    QString leftOutNotice() const;

private:
    struct Scan
    {
        Block block;
        bool closed = false; // nothing that arrives later can change it
    };
    Scan scan(qint64 start) const;
    qint64 cutPoint(qint64 start) const;

    QByteArray m_bytes;
    qint64 m_limit;
    qint64 m_dropped = 0;
    bool m_finished = false;
    // Blocks are indexed lazily, when a view asks: appending stays a copy.
    static constexpr int kCheckpointShift = 6;
    mutable QList<qint64> m_checkpoints; // start of every 64th closed block
    mutable qint64 m_closed = 0;         // closed blocks indexed so far
    mutable qint64 m_tailStart = 0;      // start of the first block not closed
};
