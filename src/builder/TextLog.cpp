#include "builder/TextLog.h"

#include "builder/Builders.h"
#include "builder/Common.h"
#include "builder/RichTextResources.h"
#include "markup/LosslessText.h"
#include "shell/MOHandler.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// The primary selection (X11) takes what the mouse selected, up to this much.
constexpr qint64 kPrimarySelectionMax = 16 << 20;

// Bytes of the character at text[i], decoded from the bytes at b (units: its
// UTF-16 length). Shown text has U+FFFD for NUL, and escapes for single bytes.
int charBytes(const QString &text, qsizetype i, const char *b, int *units)
{
    const char16_t c = text[i].unicode();
    *units = 1;
    if (isByteEscape(c))
        return 1;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size()) {
        *units = 2;
        return 4;
    }
    if (c == 0xFFFD)
        return *b == '\0' ? 1 : 3;
    return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
}

// Walks text and the bytes it was decoded from side by side until the index or
// the offset reaches its bound: where they then stand.
std::pair<qsizetype, qint64> walkText(const QString &text, QByteArrayView bytes, qsizetype index, qint64 offset)
{
    qsizetype i = 0;
    qint64 b = 0;
    int units = 1;
    while (i < text.size() && i < index && b < offset) {
        b += charBytes(text, i, bytes.data() + b, &units);
        i += units;
    }
    return {i, std::min<qint64>(b, bytes.size())};
}

qsizetype charIndexOf(const QString &text, QByteArrayView bytes, qint64 offset)
{
    return walkText(text, bytes, text.size(), offset).first;
}

qint64 byteOffsetOf(const QString &text, QByteArrayView bytes, qsizetype index)
{
    return walkText(text, bytes, index, bytes.size()).second;
}

const OutputStore &emptyStore()
{
    static const OutputStore store(0);
    return store;
}

class TextLogAccessible : public QAccessibleWidget
{
public:
    explicit TextLogAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::EditableText) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<const TextLogView *>(widget())->visibleText();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *textLogAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TextLogView") && object && object->isWidgetType())
        return new TextLogAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

TextLogView::TextLogView(QWidget *parent) : QAbstractScrollArea(parent)
{
    static const bool accessible = (QAccessible::installFactory(textLogAccessible), true);
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("textLog"));
    // Columns of ps, df or ls -l line up only in a fixed-width font.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    m_refresh.setSingleShot(true);
    connect(&m_refresh, &QTimer::timeout, this, &TextLogView::refresh);
    // Arrows and page clicks on the scroll bar move by rows, not by blocks.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        if (m_doc)
            return;
        const qint64 page = std::max<qint64>(1, visibleRows() - 1);
        qint64 by = 0;
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: by = 1; break;
        case QAbstractSlider::SliderSingleStepSub: by = -1; break;
        case QAbstractSlider::SliderPageStepAdd: by = page; break;
        case QAbstractSlider::SliderPageStepSub: by = -page; break;
        default: return;
        }
        scrollRows(by);
        verticalScrollBar()->setSliderPosition(int(m_top.block));
    });
    relayout();
}

TextLogView::~TextLogView() = default;

void TextLogView::setHandler(MOHandler *handler)
{
    if (m_handler)
        disconnect(m_handler, nullptr, this, nullptr);
    m_handler = handler;
    if (handler) {
        connect(handler, &MOHandler::outputBegun, this, &TextLogView::restart);
        connect(handler, &MOHandler::outputAppended, this, &TextLogView::scheduleRefresh);
        connect(handler, &MOHandler::outputEnded, this, &TextLogView::finish);
    }
    restart();
    if (store().isFinished())
        finish();
}

const OutputStore &TextLogView::store() const { return m_handler ? m_handler->store() : emptyStore(); }

void TextLogView::restart()
{
    m_refresh.stop();
    delete m_doc;
    m_doc = nullptr;
    m_layouts.clear();
    m_openBlock = 0;
    m_shownSize = -1;
    m_top = {};
    m_follow = true;
    m_anchor = m_cursor = -1;
    m_selecting = false;
    refresh();
}

void TextLogView::scheduleRefresh()
{
    if (m_refresh.isActive())
        return;
    // The first piece after a pause shows at once, later ones every kRefreshMs.
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : kRefreshMs;
    m_refresh.start(int(std::max<qint64>(0, kRefreshMs - since)));
}

void TextLogView::refresh()
{
    m_sinceRefresh.start();
    const OutputStore &s = store();
    // Past the limit pieces still arrive, but nothing changes on screen.
    if (s.size() == m_shownSize && m_indexed && !s.isFinished())
        return;
    m_shownSize = s.size();
    m_indexed = s.indexSome(kIndexPerRefresh);
    // The last block may have grown, and blocks may have followed it.
    std::erase_if(m_layouts, [this](const auto &entry) { return entry.first >= m_openBlock; });
    m_openBlock = s.indexedBlockCount() - 1;
    // The notice takes the empty line after a final line end.
    m_notice = -1;
    if (m_indexed && s.isFinished() && s.droppedBytes() > 0)
        m_notice = s.block(m_openBlock).length == 0 ? m_openBlock : m_openBlock + 1;
    updateScrollBar();
    viewport()->update();
    // The rest of a burst is indexed in the next turns of the event loop.
    if (!m_indexed)
        m_refresh.start(0);
}

void TextLogView::finish()
{
    m_refresh.stop();
    m_shownSize = -1;
    refresh();
    const QString rich = m_handler ? m_handler->richText() : QString();
    if (rich.isNull())
        return;
    m_doc = new SafeTextDocument(this);
    m_doc->setDefaultFont(font());
    m_doc->setHtml(rich);
    m_doc->setTextWidth(viewport()->width());
    m_layouts.clear();
    m_anchor = m_cursor = -1;
    updateScrollBar();
    if (m_follow)
        scrollToEnd();
    viewport()->update();
}

void TextLogView::relayout()
{
    const QFontMetricsF metrics(font());
    m_rowHeight = std::ceil(metrics.lineSpacing());
    m_tabWidth = 8 * metrics.horizontalAdvance(QLatin1Char(' '));
    m_layoutWidth = std::max(1, viewport()->width() - 2 * m_margin);
    m_layouts.clear();
    if (m_doc) {
        m_doc->setDefaultFont(font());
        m_doc->setTextWidth(viewport()->width());
    }
    updateScrollBar();
    if (m_follow)
        scrollToEnd();
    viewport()->update();
}

qint64 TextLogView::blockCount() const
{
    return m_notice >= 0 ? m_notice + 1 : store().indexedBlockCount();
}

QByteArrayView TextLogView::blockBytes(const OutputStore::Block &block) const
{
    return QByteArrayView(store().bytes().constData() + block.start, block.length);
}

QString TextLogView::blockText(qint64 index, const OutputStore::Block &block) const
{
    if (index == m_notice)
        return store().leftOutNotice();
    const QByteArrayView bytes = blockBytes(block);
    if (store().isFinished() || index < m_openBlock)
        return outputText(bytes);
    // A UTF-8 sequence cut short by the piece that arrived last waits for its rest.
    LosslessDecoder decoder;
    QString text = decoder.decode(bytes);
    text.replace(QChar(u'\0'), QChar(u'\uFFFD'));
    return text;
}

QTextLayout *TextLogView::layout(qint64 index, const OutputStore::Block *known) const
{
    auto &slot = m_layouts[index];
    if (slot)
        return slot.get();
    const OutputStore::Block block = known ? *known : store().block(index);
    slot = std::make_unique<QTextLayout>(blockText(index, block), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(m_tabWidth);
    slot->setTextOption(option);
    slot->setCacheEnabled(true);
    slot->beginLayout();
    for (int row = 0;; ++row) {
        QTextLine line = slot->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(m_layoutWidth);
        line.setPosition(QPointF(0, row * m_rowHeight));
    }
    slot->endLayout();
    return slot.get();
}

qint64 TextLogView::rowsOf(const QTextLayout *layout) { return std::max(1, layout->lineCount()); }

qint64 TextLogView::visibleRows() const
{
    return std::max<qint64>(1, qint64((viewport()->height() - 2 * m_margin) / m_rowHeight));
}

TextLogView::Pos TextLogView::walk(Pos p, qint64 n, qint64 *beyond) const
{
    const qint64 count = blockCount();
    if (beyond)
        *beyond = 0;
    while (n > 0) {
        const qint64 left = rows(p.block) - 1 - p.row;
        if (n <= left) {
            p.row += n;
            break;
        }
        if (p.block + 1 >= count) {
            p.row += left;
            if (beyond)
                *beyond = n - left;
            break;
        }
        n -= left + 1;
        p = {p.block + 1, 0};
    }
    while (n < 0) {
        if (-n <= p.row) {
            p.row += n;
            break;
        }
        if (p.block == 0) {
            p.row = 0;
            break;
        }
        n += p.row + 1;
        p.block -= 1;
        p.row = rows(p.block) - 1;
    }
    return p;
}

TextLogView::Pos TextLogView::endPos() const
{
    // Every block takes one row at least: the last visibleRows blocks fill the screen.
    qint64 need = visibleRows();
    const qint64 count = blockCount();
    const qint64 first = std::max<qint64>(0, count - need);
    const QList<OutputStore::Block> blocks = store().blocks(first, count - first);
    for (qint64 i = count - 1; i >= first; --i) {
        const qint64 n = rowsOf(layout(i, i - first < blocks.size() ? &blocks[i - first] : nullptr));
        if (n >= need)
            return {i, n - need};
        need -= n;
    }
    return {};
}

void TextLogView::updateScrollBar()
{
    QScrollBar *bar = verticalScrollBar();
    m_syncingBar = true;
    if (m_doc) {
        const int height = int(std::ceil(m_doc->documentLayout()->documentSize().height()));
        bar->setRange(0, std::max(0, height - viewport()->height()));
        bar->setPageStep(viewport()->height());
        bar->setSingleStep(int(m_rowHeight));
    } else {
        m_end = endPos();
        if (m_follow || m_top > m_end)
            m_top = m_end;
        bar->setRange(0, int(std::min<qint64>(m_end.block, INT_MAX)));
        bar->setPageStep(int(visibleRows()));
        bar->setSingleStep(1);
        bar->setValue(int(std::min<qint64>(m_top.block, INT_MAX)));
    }
    m_syncingBar = false;
}

void TextLogView::scrollTo(Pos top)
{
    m_top = std::min(top, m_end);
    m_follow = m_top == m_end;
    m_syncingBar = true;
    verticalScrollBar()->setValue(int(std::min<qint64>(m_top.block, INT_MAX)));
    m_syncingBar = false;
    viewport()->update();
}

void TextLogView::scrollRows(qint64 n)
{
    if (m_doc) {
        QScrollBar *bar = verticalScrollBar();
        bar->setValue(int(std::clamp<qint64>(bar->value() + n * qint64(m_rowHeight), 0, bar->maximum())));
        return;
    }
    scrollTo(walk(m_top, n));
}

void TextLogView::scrollToEnd()
{
    if (m_doc) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        m_follow = true;
        return;
    }
    scrollTo(m_end);
}

void TextLogView::scrollContentsBy(int, int)
{
    if (m_syncingBar)
        return;
    QScrollBar *bar = verticalScrollBar();
    if (m_doc) {
        m_follow = bar->value() == bar->maximum();
    } else {
        // Dragging the slider moves by blocks; its far end is the last screen.
        m_top = bar->value() >= bar->maximum() ? m_end : Pos{bar->value(), 0};
        m_follow = m_top == m_end;
    }
    viewport()->update();
}

void TextLogView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QPalette::ColorGroup group = isActiveWindow() ? QPalette::Active : QPalette::Inactive;
    QTextCharFormat selected;
    selected.setBackground(palette().brush(group, QPalette::Highlight));
    selected.setForeground(palette().brush(group, QPalette::HighlightedText));
    const qint64 from = std::min(m_anchor, m_cursor), to = std::max(m_anchor, m_cursor);

    if (m_doc) {
        const int offset = verticalScrollBar()->value();
        painter.translate(0, -offset);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = palette();
        context.clip = QRectF(event->rect().translated(0, offset));
        if (from < to) {
            QTextCursor cursor(m_doc);
            cursor.setPosition(int(from));
            cursor.setPosition(int(to), QTextCursor::KeepAnchor);
            context.selections.append({cursor, selected});
        }
        m_doc->documentLayout()->draw(&painter, context);
        return;
    }

    // The top margin stays clear of the rows scrolled past.
    painter.setClipRect(QRect(0, m_margin, viewport()->width(), viewport()->height() - m_margin));
    const qint64 count = blockCount();
    const qint64 notice = m_notice;
    const QList<OutputStore::Block> blocks = store().blocks(m_top.block, visibleRows() + 1);
    qreal y = m_margin - m_top.row * m_rowHeight;
    qint64 i = m_top.block;
    for (; i < count && y < viewport()->height(); ++i) {
        const qint64 k = i - m_top.block;
        const OutputStore::Block *block = k < blocks.size() ? &blocks[k] : nullptr;
        QTextLayout *l = layout(i, block);
        QList<QTextLayout::FormatRange> selections;
        if (block && i != notice && from < to && from < block->start + block->length && to > block->start) {
            const QByteArrayView bytes = blockBytes(*block);
            const qsizetype a = charIndexOf(l->text(), bytes, std::max<qint64>(0, from - block->start));
            const qsizetype b = charIndexOf(l->text(), bytes, to - block->start);
            selections.append({int(a), int(b - a), selected});
        }
        painter.setPen(palette().color(group, i == notice ? QPalette::PlaceholderText : QPalette::Text));
        l->draw(&painter, QPointF(m_margin, y), selections, event->rect());
        y += rowsOf(l) * m_rowHeight;
    }
    // Layouts are kept for about a screen above and below, no more.
    const qint64 span = i - m_top.block + 1;
    if (m_layouts.size() > size_t(3 * span + 8)) {
        const qint64 keepFrom = m_top.block - span, keepTo = i + span;
        std::erase_if(m_layouts, [&](const auto &e) { return e.first < keepFrom || e.first > keepTo; });
    }
}

void TextLogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void TextLogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
    else if (event->type() == QEvent::ActivationChange || event->type() == QEvent::PaletteChange)
        viewport()->update();
}

void TextLogView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else {
        const qint64 page = std::max<qint64>(1, visibleRows() - 1);
        switch (event->key()) {
        case Qt::Key_Up: scrollRows(-1); break;
        case Qt::Key_Down: scrollRows(1); break;
        case Qt::Key_PageUp: scrollRows(-page); break;
        case Qt::Key_PageDown: scrollRows(page); break;
        case Qt::Key_Home:
            if (m_doc)
                verticalScrollBar()->setValue(0);
            else
                scrollTo({});
            break;
        case Qt::Key_End: scrollToEnd(); break;
        default:
            // Escape and the rest belong to the window.
            event->ignore();
            return;
        }
    }
    event->accept();
}

void TextLogView::wheelEvent(QWheelEvent *event)
{
    // A notch (120) moves three rows.
    m_wheel += event->angleDelta().y();
    const int rows = m_wheel / 40;
    m_wheel -= rows * 40;
    if (rows)
        scrollRows(-rows);
    event->accept();
}

qint64 TextLogView::positionAt(QPoint point) const
{
    if (m_doc) {
        const QPointF at(point.x(), point.y() + verticalScrollBar()->value());
        const int pos = m_doc->documentLayout()->hitTest(at, Qt::FuzzyHit);
        return pos >= 0 ? pos : (point.y() < 0 ? 0 : m_doc->characterCount() - 1);
    }
    const qint64 row = qint64(std::floor((point.y() - m_margin) / m_rowHeight));
    qint64 beyond = 0;
    const Pos p = walk(m_top, row, &beyond);
    const OutputStore &s = store();
    if (beyond > 0 || p.block == m_notice)
        return s.size();
    const OutputStore::Block block = s.block(p.block);
    const QTextLayout *l = layout(p.block, &block);
    const QTextLine line = l->lineAt(int(std::min<qint64>(p.row, l->lineCount() - 1)));
    if (!line.isValid())
        return block.start;
    const int index = line.xToCursor(point.x() - m_margin);
    return block.start + byteOffsetOf(l->text(), blockBytes(block), index);
}

void TextLogView::setSelection(qint64 anchor, qint64 cursor)
{
    m_anchor = anchor;
    m_cursor = cursor;
    viewport()->update();
}

void TextLogView::selectAll()
{
    setSelection(0, m_doc ? m_doc->characterCount() - 1 : store().size());
}

QString TextLogView::selectedText() const
{
    const qint64 from = std::min(m_anchor, m_cursor), to = std::max(m_anchor, m_cursor);
    if (from < 0 || from == to)
        return QString();
    if (m_doc) {
        QTextCursor cursor(m_doc);
        cursor.setPosition(int(from));
        cursor.setPosition(int(to), QTextCursor::KeepAnchor);
        return cursor.selection().toPlainText();
    }
    // The bytes as they are, line ends included; what is not UTF-8 as escapes.
    return outputText(QByteArrayView(store().bytes()).sliced(from, std::min(to, store().size()) - from));
}

void TextLogView::copy() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void TextLogView::selectWordAt(QPoint point)
{
    const qint64 at = positionAt(point);
    if (m_doc) {
        QTextCursor cursor(m_doc);
        cursor.setPosition(int(at));
        cursor.select(QTextCursor::WordUnderCursor);
        setSelection(cursor.anchor(), cursor.position());
        return;
    }
    // A word is what lies between blanks: a path or an address selects whole.
    const OutputStore &s = store();
    const OutputStore::Block block = s.block(s.blockAt(at));
    const QByteArrayView bytes = blockBytes(block);
    qint64 from = at - block.start, to = from;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (from > 0 && !blank(bytes[from - 1]))
        --from;
    while (to < bytes.size() && !blank(bytes[to]))
        ++to;
    setSelection(block.start + from, block.start + to);
}

void TextLogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qint64 at = positionAt(event->position().toPoint());
    const bool extend = (event->modifiers() & Qt::ShiftModifier) && m_anchor >= 0;
    setSelection(extend ? m_anchor : at, at);
    m_selecting = true;
}

void TextLogView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting)
        return;
    const QPoint point = event->position().toPoint();
    // Dragging past an edge scrolls on.
    if (point.y() < 0)
        scrollRows(-1);
    else if (point.y() > viewport()->height())
        scrollRows(1);
    setSelection(m_anchor, positionAt(point));
}

void TextLogView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return;
    m_selecting = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && std::abs(m_cursor - m_anchor) <= kPrimarySelectionMax) {
        const QString text = selectedText();
        if (!text.isEmpty())
            clipboard->setText(text, QClipboard::Selection);
    }
}

void TextLogView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        selectWordAt(event->position().toPoint());
}

void TextLogView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(tr("&Copy"), this, &TextLogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(m_anchor >= 0 && m_anchor != m_cursor);
    menu.addAction(tr("Select All"), this, &TextLogView::selectAll)->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

void TextLogView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TextLogView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

QString TextLogView::toPlainText() const
{
    if (m_doc)
        return m_doc->toPlainText();
    const OutputStore &s = store();
    QString out;
    const qint64 count = s.blockCount();
    constexpr qint64 kBatch = 4096;
    for (qint64 first = 0; first < count; first += kBatch) {
        for (const OutputStore::Block &block : s.blocks(first, kBatch)) {
            out += outputText(blockBytes(block));
            if (block.next > block.start + block.length && !block.cut)
                out += QLatin1Char('\n');
        }
    }
    const QString notice = s.isFinished() ? s.leftOutNotice() : QString();
    if (!notice.isEmpty())
        out += (out.isEmpty() || out.endsWith(QLatin1Char('\n')) ? QString() : QStringLiteral("\n")) + notice;
    return out;
}

QString TextLogView::visibleText() const
{
    if (m_doc) {
        QTextCursor cursor(m_doc);
        cursor.setPosition(int(positionAt(QPoint(0, 0))));
        cursor.setPosition(int(positionAt(QPoint(viewport()->width(), viewport()->height()))), QTextCursor::KeepAnchor);
        return cursor.selection().toPlainText();
    }
    QStringList rows;
    Pos p = m_top;
    for (qint64 n = visibleRows(); n > 0; --n) {
        const QTextLayout *l = layout(p.block);
        const QTextLine line = l->lineAt(int(p.row));
        if (line.isValid())
            rows << l->text().mid(line.textStart(), line.textLength());
        const Pos next = walk(p, 1);
        if (next == p)
            break;
        p = next;
    }
    return rows.join(QLatin1Char('\n'));
}

void buildTextLog(frmMain *window, const Element *element, QLayout *parent)
{
    auto *log = new TextLogView;
    log->setHandler(outputHandler());
    applySizeAttributes(window, element, log);
    if (parent)
        parent->addWidget(log);
}
