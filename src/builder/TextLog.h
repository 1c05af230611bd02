#pragma once

#include "shell/OutputStore.h"
#include "shell/TerminalText.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QTimer>

#include <memory>
#include <unordered_map>

class MOHandler;
class QTextLayout;
class SafeTextDocument;

// A text log: shows the output of the last command while it arrives, from the one
// copy the output handler keeps. Only the rows on screen are laid out, so any size
// of output scrolls at once; long lines wrap at the width of the log. Output that
// passes the rich-text rule is shown as rich text once it has ended. Lines are
// drawn as a terminal draws them (CR, erasing, colours; other sequences are
// dropped). The user may select and copy what is shown, not type: the next
// output would replace what was typed.
class TextLogView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QString plainText READ toPlainText)
public:
    // Repaints while output arrives come at most this often.
    static constexpr int kRefreshMs = 50;
    // Lines indexed per turn of the event loop and log (about 6 ms of work).
    static constexpr qint64 kIndexPerRefresh = 500'000;
    // A copy takes at most this much of the output (as the mouse selection does).
    static constexpr qint64 kCopyMaxBytes = 16 << 20;
    // Hidden progress lines looked past to fill the screen at the end.
    static constexpr qint64 kHiddenLookBack = 4096;

    // Auto: rich text when the output passes the rich-text rule.
    enum class Format { Auto, Plain, Rich };

    explicit TextLogView(QWidget *parent = nullptr);
    ~TextLogView() override;

    // Shows the outputs of handler from now on (null: none).
    void setHandler(MOHandler *handler);
    void setFormat(Format format) { m_format = format; }

    // The text shown, with '\n' for line ends (of rich text: its plain text).
    QString toPlainText() const;
    bool isRichText() const { return m_doc != nullptr; }
    // True while new output moves the log to its end.
    bool followsEnd() const { return m_follow; }
    QString selectedText() const;
    // Set by the last copy that was cut at kCopyMaxBytes (else empty).
    QString copyNote() const { return m_copyNote; }
    // The rows on screen, for a screen reader.
    QString visibleText() const;

public Q_SLOTS:
    void selectAll();
    void copy();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // A row on screen: a display block and a wrapped row inside it.
    struct Pos
    {
        qint64 block = 0;
        qint64 row = 0;
        auto operator<=>(const Pos &) const = default;
    };

    const OutputStore &store() const;
    void restart();
    void scheduleRefresh();
    void refresh();
    void finish();
    void stopped(bool killed);
    void relayout();

    // Display blocks: the store's, then the lines kiv adds (how much was left
    // out, a stop), which are shown but not copied.
    qint64 blockCount() const;
    bool isAdded(qint64 index) const { return m_addedFrom >= 0 && index >= m_addedFrom; }
    StyledLine drawnBlock(qint64 index, const OutputStore::Block &block) const;
    bool hides(const OutputStore::Block &block) const;
    QTextCharFormat formatOf(const TerminalStyle &style) const;
    QTextLayout *layout(qint64 index, const OutputStore::Block *known = nullptr) const;
    qint64 rows(qint64 index) const { return rowsOf(layout(index)); }
    static qint64 rowsOf(const QTextLayout *layout);
    qint64 visibleRows() const;
    // rows on from `from`, as far as there are rows; beyond: rows that were not.
    Pos walk(Pos from, qint64 rows, qint64 *beyond = nullptr) const;
    Pos endPos() const;
    void updateScrollBar();
    void scrollRows(qint64 rows);
    void scrollTo(Pos top);
    void scrollToEnd();
    // After the text or its layout changed: the scroll bar, the end if followed, a repaint.
    void showChanged();

    // Positions are a block's first byte plus a character index in what it shows
    // (never past its next block), or positions in the rich text.
    qint64 positionAt(QPoint point) const;
    QString textBetween(qint64 from, qint64 to, bool *cut) const;
    QByteArrayView blockBytes(const OutputStore::Block &block) const;
    void setSelection(qint64 anchor, qint64 cursor);
    void selectWordAt(QPoint point);

    QPointer<MOHandler> m_handler;
    qreal m_rowHeight = 1;
    qreal m_tabWidth = 8;
    int m_margin = 4;
    qreal m_layoutWidth = 0;
    Pos m_top, m_end;
    bool m_follow = true;
    bool m_syncingBar = false;
    int m_wheel = 0;
    qint64 m_anchor = -1, m_cursor = -1;
    bool m_selecting = false;

    QTimer m_refresh;
    QElapsedTimer m_sinceRefresh;
    qint64 m_shownSize = -1;
    bool m_indexed = true; // the index has caught up with the output
    // Layouts of the blocks near the screen; blocks from m_openBlock on may grow.
    mutable std::unordered_map<qint64, std::unique_ptr<QTextLayout>> m_layouts;
    mutable QTextLayout m_hiddenLine; // what every hidden line lays out as: no row
    qint64 m_openBlock = 0;
    QStringList m_added;
    qint64 m_addedFrom = -1;
    int m_stopped = 0; // 1: stopped, 2: had to be killed
    Format m_format = Format::Auto;
    QString m_copyNote;
    // What the line that grows last drew so far.
    mutable qint64 m_drawnStart = -1;
    mutable TerminalLine m_drawn;

    SafeTextDocument *m_doc = nullptr; // the rich text, when it is shown
    int m_docOutputEnd = -1;            // where the output ends in it, when kiv added a line
};
