#pragma once

#include "shell/OutputStore.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <unordered_map>

class MOHandler;
class QTextLayout;
class SafeTextDocument;

// A text log: shows the output of the last command while it arrives, from the one
// copy the output handler keeps. Only the rows on screen are laid out, so any size
// of output scrolls at once; long lines wrap at the width of the log. Output that
// passes the rich-text rule is shown as rich text once it has ended. The user may
// select and copy, not type: the next output would replace what was typed.
class TextLogView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QString plainText READ toPlainText)
public:
    // Repaints while output arrives come at most this often.
    static constexpr int kRefreshMs = 50;
    // Lines indexed per turn of the event loop and log (about 6 ms of work).
    static constexpr qint64 kIndexPerRefresh = 500'000;

    explicit TextLogView(QWidget *parent = nullptr);
    ~TextLogView() override;

    // Shows the outputs of handler from now on (null: none).
    void setHandler(MOHandler *handler);

    // The text shown, with '\n' for line ends (of rich text: its plain text).
    QString toPlainText() const;
    bool isRichText() const { return m_doc != nullptr; }
    // True while new output moves the log to its end.
    bool followsEnd() const { return m_follow; }
    QString selectedText() const;
    // The rows on screen, for a screen reader.
    QString visibleText() const;

public Q_SLOTS:
    void selectAll();
    void copy() const;

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
    void relayout();

    // Display blocks: the store's, and the line saying how much was left out.
    qint64 blockCount() const;
    QString blockText(qint64 index, const OutputStore::Block &block) const;
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

    // Positions are byte offsets of the output, or positions in the rich text.
    qint64 positionAt(QPoint point) const;
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
    qint64 m_openBlock = 0;
    qint64 m_notice = -1; // the block that says how much was left out

    SafeTextDocument *m_doc = nullptr; // the rich text, when it is shown
};
