#include "builder/TextLog.h"

#include "builder/Builders.h"
#include "builder/RichTextResources.h"
#include "markup/LosslessText.h"
#include "shell/MOHandler.h"
#include "widgets/WidgetSetup.h"

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
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// The 16 colours, on a light and on a dark background: each readable on its own
// background (yellow is dark on light, black is grey on dark).
constexpr QRgb kOnLight[16] = {0x000000, 0xb21818, 0x117a11, 0x8a6a00, 0x1f45c0, 0x9b2399, 0x0f7681, 0x6b6b6b,
                               0x555555, 0xd42424, 0x1f9a1f, 0xa37c00, 0x3a64e0, 0xb83db6, 0x148c99, 0x858585};
constexpr QRgb kOnDark[16] = {0x7a7a7a, 0xf06060, 0x5fd35f, 0xe0c050, 0x70a0ff, 0xd080d0, 0x50d0d0, 0xd0d0d0,
                              0x9a9a9a, 0xff8787, 0x87ff87, 0xffff87, 0x9fbfff, 0xff9fff, 0x87ffff, 0xffffff};

QColor terminalColour(quint32 c, bool dark)
{
    if (c == TerminalStyle::kDefault)
        return {};
    if (c & TerminalStyle::kRgb)
        return QColor::fromRgb(c & 0xFFFFFF);
    if (c < 16)
        return QColor::fromRgb((dark ? kOnDark : kOnLight)[c]);
    if (c < 232) {
        const auto level = [](quint32 v) { return v ? int(55 + 40 * v) : 0; };
        return QColor(level((c - 16) / 36), level((c - 16) / 6 % 6), level((c - 16) % 6));
    }
    const int grey = 8 + 10 * int(c - 232);
    return QColor(grey, grey, grey);
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
    if (handler)
        connect(handler, &MOHandler::outputStopped, this, &TextLogView::stopped);
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
    m_stopped = 0;
    m_docOutputEnd = -1;
    m_drawnStart = -1;
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
    m_added.clear();
    m_addedFrom = -1;
    if (m_indexed && s.isFinished()) {
        if (s.droppedBytes() > 0)
            m_added << s.leftOutNotice();
        if (m_stopped)
            m_added << (m_stopped == 2 ? tr("[stopped; had to be killed]") : tr("[stopped]"));
        // They take the empty line after a final line end.
        if (!m_added.isEmpty())
            m_addedFrom = s.block(m_openBlock).length == 0 ? m_openBlock : m_openBlock + 1;
    }
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
    QString rich;
    if (m_handler && m_format == Format::Auto) {
        rich = m_handler->richText();
    } else if (m_handler && m_format == Format::Rich && store().droppedBytes() == 0 &&
               store().size() <= kRichTextMaxBytes) {
        const QByteArray bytes = withoutEscapes(store().bytes());
        if (fitsRichTextLayout(bytes))
            rich = outputText(bytes);
    }
    if (rich.isNull())
        return;
    m_doc = new SafeTextDocument(this);
    m_doc->setDefaultFont(font());
    m_doc->setHtml(rich);
    m_doc->setTextWidth(viewport()->width());
    m_layouts.clear();
    m_anchor = m_cursor = -1;
    showChanged();
}

void TextLogView::stopped(bool killed)
{
    m_stopped = killed ? 2 : 1;
    if (!m_doc) {
        m_shownSize = -1;
        refresh();
        return;
    }
    // The line is kiv's: copies stop before it.
    m_docOutputEnd = m_doc->characterCount() - 1;
    QTextCursor end(m_doc);
    end.movePosition(QTextCursor::End);
    QTextCharFormat discreet;
    discreet.setForeground(palette().brush(QPalette::PlaceholderText));
    end.insertBlock();
    end.insertText(killed ? tr("[stopped; had to be killed]") : tr("[stopped]"), discreet);
    showChanged();
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
    showChanged();
}

qint64 TextLogView::blockCount() const
{
    return m_addedFrom >= 0 ? m_addedFrom + m_added.size() : store().indexedBlockCount();
}

QByteArrayView TextLogView::blockBytes(const OutputStore::Block &block) const
{
    return QByteArrayView(store().bytes().constData() + block.start, block.length);
}

StyledLine TextLogView::drawnBlock(qint64 index, const OutputStore::Block &block) const
{
    const QByteArrayView bytes = blockBytes(block);
    const bool final = store().isFinished() || index < m_openBlock;
    if (TerminalLine::drawsAsIs(bytes)) {
        if (final)
            return {textFromBytes(bytes), {}};
        // A UTF-8 sequence cut short by the piece that arrived last waits for its rest.
        LosslessDecoder decoder;
        return {decoder.decode(bytes), {}};
    }
    // A line redrawn while it grows is fed only what it has not drawn yet.
    if (m_drawnStart != block.start || m_drawn.fedBytes() > bytes.size()) {
        m_drawnStart = block.start;
        m_drawn = TerminalLine();
    }
    m_drawn.feed(bytes.sliced(m_drawn.fedBytes()));
    return m_drawn.drawn(final);
}

bool TextLogView::hides(const OutputStore::Block &block) const
{
    if (!m_handler || !m_handler->progressLines() || block.cut || block.length > OutputStore::kBlockBytes)
        return false;
    // Lines ended by '\n' only, as the bars read them.
    const OutputStore &s = store();
    if (block.next == block.start + block.length)
        return false;
    if (block.start > 0 && s.bytes()[block.start - 1] != '\n')
        return false;
    return progressLine(blockBytes(block)).has_value();
}

QTextCharFormat TextLogView::formatOf(const TerminalStyle &style) const
{
    const bool dark = palette().color(QPalette::Base).lightness() < 128;
    QColor fg = terminalColour(style.foreground, dark), bg = terminalColour(style.background, dark);
    if (style.flags & TerminalStyle::Inverse) {
        const QColor text = palette().color(QPalette::Text), base = palette().color(QPalette::Base);
        std::swap(fg, bg);
        fg = fg.isValid() ? fg : base;
        bg = bg.isValid() ? bg : text;
    }
    if (style.flags & TerminalStyle::Faint) {
        const QColor from = fg.isValid() ? fg : palette().color(QPalette::Text);
        const QColor to = bg.isValid() ? bg : palette().color(QPalette::Base);
        fg = QColor((from.red() + to.red()) / 2, (from.green() + to.green()) / 2, (from.blue() + to.blue()) / 2);
    }
    QTextCharFormat format;
    if (fg.isValid())
        format.setForeground(fg);
    if (bg.isValid())
        format.setBackground(bg);
    if (style.flags & TerminalStyle::Bold)
        format.setFontWeight(QFont::Bold);
    if (style.flags & TerminalStyle::Italic)
        format.setFontItalic(true);
    if (style.flags & TerminalStyle::Underline)
        format.setFontUnderline(true);
    return format;
}

QTextLayout *TextLogView::layout(qint64 index, const OutputStore::Block *known) const
{
    if (const auto at = m_layouts.find(index); at != m_layouts.end())
        return at->second.get();
    QString text;
    QList<QTextLayout::FormatRange> formats;
    if (isAdded(index)) {
        text = m_added.value(index - m_addedFrom);
    } else {
        const OutputStore::Block block = known ? *known : store().block(index);
        if (hides(block))
            return &m_hiddenLine;
        StyledLine line = drawnBlock(index, block);
        text = std::move(line.text);
        for (const StyledRun &run : line.runs)
            formats.append({run.start, run.length, formatOf(run.style)});
    }
    auto &slot = m_layouts[index];
    slot = std::make_unique<QTextLayout>(text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(m_tabWidth);
    slot->setTextOption(option);
    slot->setFormats(formats);
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

qint64 TextLogView::rowsOf(const QTextLayout *layout) { return layout->lineCount(); }

qint64 TextLogView::visibleRows() const
{
    return std::max<qint64>(1, qint64((viewport()->height() - 2 * m_margin) / m_rowHeight));
}

TextLogView::Pos TextLogView::walk(Pos p, qint64 n, qint64 *beyond) const
{
    // Hidden lines have no rows: a position on one stands for the row after it.
    const qint64 count = blockCount();
    if (beyond)
        *beyond = 0;
    while (n > 0) {
        const qint64 left = rows(p.block) - 1 - p.row;
        if (n <= left) {
            p.row += n;
            break;
        }
        qint64 next = p.block + 1;
        while (next < count && rows(next) == 0)
            ++next;
        if (next >= count) {
            p.row += std::max<qint64>(0, left);
            if (beyond)
                *beyond = n - std::max<qint64>(0, left);
            break;
        }
        n -= left + 1;
        p = {next, 0};
    }
    while (n < 0) {
        if (-n <= p.row) {
            p.row += n;
            break;
        }
        qint64 before = p.block - 1;
        while (before >= 0 && rows(before) == 0)
            --before;
        if (before < 0) {
            p.row = 0;
            break;
        }
        n += p.row + 1;
        p = {before, rows(before) - 1};
    }
    return p;
}

TextLogView::Pos TextLogView::endPos() const
{
    qint64 need = visibleRows();
    const qint64 count = blockCount();
    const qint64 back = m_handler && m_handler->progressLines() ? kHiddenLookBack : 0;
    const qint64 first = std::max<qint64>(0, count - need - back);
    const QList<OutputStore::Block> blocks = store().blocks(first, count - first);
    for (qint64 i = count - 1; i >= first; --i) {
        const qint64 n = rowsOf(layout(i, i - first < blocks.size() ? &blocks[i - first] : nullptr));
        if (n == 0)
            continue;
        if (n >= need)
            return {i, n - need};
        need -= n;
    }
    return {first, 0};
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

void TextLogView::showChanged()
{
    updateScrollBar();
    if (m_follow)
        scrollToEnd();
    viewport()->update();
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
    QList<OutputStore::Block> blocks;
    qint64 fetched = m_top.block;
    qreal y = m_margin - m_top.row * m_rowHeight;
    qint64 i = m_top.block;
    for (; i < count && y < viewport()->height(); ++i) {
        // Blocks are read in batches: hidden lines may come between the rows.
        if (i - fetched >= blocks.size()) {
            fetched = i;
            blocks = store().blocks(i, visibleRows() + 1);
        }
        const qint64 k = i - fetched;
        const OutputStore::Block *block = k < blocks.size() && !isAdded(i) ? &blocks[k] : nullptr;
        QTextLayout *l = layout(i, block);
        QList<QTextLayout::FormatRange> selections;
        if (block && from < to) {
            const qint64 length = l->text().size();
            const qint64 a = std::clamp<qint64>(from - block->start, 0, length);
            const qint64 b = std::clamp<qint64>(to - block->start, 0, length);
            if (a < b)
                selections.append({int(a), int(b - a), selected});
        }
        painter.setPen(palette().color(group, isAdded(i) ? QPalette::PlaceholderText : QPalette::Text));
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
    else if (event->type() == QEvent::PaletteChange)
        relayout();
    else if (event->type() == QEvent::ActivationChange)
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
    if (beyond > 0 || isAdded(p.block))
        return s.size();
    const OutputStore::Block block = s.block(p.block);
    const QTextLayout *l = layout(p.block, &block);
    const QTextLine line = l->lineAt(int(std::min<qint64>(p.row, l->lineCount() - 1)));
    if (!line.isValid())
        return block.start;
    return block.start + line.xToCursor(point.x() - m_margin);
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
    bool cut = false;
    return textBetween(std::min(m_anchor, m_cursor), std::max(m_anchor, m_cursor), &cut);
}

QString TextLogView::textBetween(qint64 from, qint64 to, bool *cut) const
{
    *cut = false;
    if (from < 0 || from == to)
        return QString();
    if (m_doc) {
        if (m_docOutputEnd >= 0) {
            from = std::min<qint64>(from, m_docOutputEnd);
            to = std::min<qint64>(to, m_docOutputEnd);
        }
        QTextCursor cursor(m_doc);
        cursor.setPosition(int(from));
        cursor.setPosition(int(to), QTextCursor::KeepAnchor);
        return cursor.selection().toPlainText();
    }
    // What the lines show, joined by line ends; the added lines are kiv's, not output.
    const OutputStore &s = store();
    QString out;
    const auto add = [&](qint64 index, const OutputStore::Block &b) {
        if (hides(b))
            return;
        const QString text = drawnBlock(index, b).text;
        const qint64 begin = std::clamp<qint64>(from - b.start, 0, text.size());
        const qint64 end = std::clamp<qint64>(to - b.start, 0, text.size());
        out += QStringView(text).sliced(begin, end - begin);
        if (to > b.start + text.size() && b.next > b.start + b.length && !b.cut)
            out += QLatin1Char('\n');
    };
    const qint64 firstIndex = s.blockAt(from);
    const OutputStore::Block firstBlock = s.block(firstIndex);
    const qint64 limit = firstBlock.start + kCopyMaxBytes;
    *cut = to > limit;
    // The blocks taken: firstIndex up to lastIndex, all of them whole but the first and the last.
    const qint64 lastIndex = std::max(firstIndex, s.blockAt(std::min(to, limit)) - (*cut ? 1 : 0));
    add(firstIndex, firstBlock);
    if (lastIndex == firstIndex)
        return out;
    const OutputStore::Block lastBlock = s.block(lastIndex);
    const QByteArrayView middle = QByteArrayView(s.bytes()).sliced(firstBlock.next, lastBlock.start - firstBlock.next);
    bool asIs = !(m_handler && m_handler->progressLines());
    const auto *p = reinterpret_cast<const uchar *>(middle.data());
    for (qsizetype k = 0, n = middle.size(); k < n && asIs; ++k)
        asIs = !((p[k] < 0x20 && p[k] != '\t' && p[k] != '\n') || p[k] == 0x7f);
    if (asIs) {
        // Lines drawn as they are: their bytes are what they show, line ends and all.
        const QString text = textFromBytes(middle);
        out.reserve(out.size() + text.size() + lastBlock.length);
        out += text;
    } else {
        constexpr qint64 kBatch = 1024;
        for (qint64 i = firstIndex + 1; i < lastIndex; i += kBatch) {
            const QList<OutputStore::Block> blocks = s.blocks(i, std::min(kBatch, lastIndex - i));
            for (qint64 k = 0; k < blocks.size(); ++k)
                add(i + k, blocks[k]);
        }
    }
    add(lastIndex, lastBlock);
    return out;
}

void TextLogView::copy()
{
    bool cut = false;
    const QString text = textBetween(std::min(m_anchor, m_cursor), std::max(m_anchor, m_cursor), &cut);
    m_copyNote = cut ? tr("Copied only the first %1 MiB").arg(kCopyMaxBytes >> 20) : QString();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
    if (cut)
        QToolTip::showText(viewport()->mapToGlobal(viewport()->rect().center()), m_copyNote, this);
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
    const qint64 index = s.blockAt(at);
    const OutputStore::Block block = s.block(index);
    const QString text = layout(index, &block)->text();
    qint64 from = std::clamp<qint64>(at - block.start, 0, text.size()), to = from;
    while (from > 0 && !isBlank(text[from - 1]))
        --from;
    while (to < text.size() && !isBlank(text[to]))
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
    if (clipboard->supportsSelection() && std::abs(m_cursor - m_anchor) <= kCopyMaxBytes) {
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
        const QList<OutputStore::Block> blocks = s.blocks(first, kBatch);
        for (qint64 k = 0; k < blocks.size(); ++k) {
            const OutputStore::Block &block = blocks[k];
            if (hides(block))
                continue;
            out += drawnBlock(first + k, block).text;
            if (block.next > block.start + block.length && !block.cut)
                out += QLatin1Char('\n');
        }
    }
    for (const QString &line : m_added)
        out += (out.isEmpty() || out.endsWith(QLatin1Char('\n')) ? QString() : QStringLiteral("\n")) + line + QLatin1Char('\n');
    if (!m_added.isEmpty())
        out.chop(1);
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

void buildTextLog(FormSession &session, const Element *element, QLayout *parent)
{
    auto *log = new TextLogView;
    if (const OptText format = trimWhitespace(session.attribute(element, "format"))) {
        if (*format == "plain")
            log->setFormat(TextLogView::Format::Plain);
        else if (*format == "rich")
            log->setFormat(TextLogView::Format::Rich);
    }
    log->setHandler(&session.output());
    applySizeAttributes(session, element, log);
    if (parent)
        parent->addWidget(log);
}
