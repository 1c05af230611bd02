#include "app/FindingsBar.h"

#include "markup/LosslessText.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

FindingsBar::FindingsBar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("findingsBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_heading = new QLabel(tr("The saved file has errors; the form below is the one before them."), this);
    m_heading->setObjectName(QStringLiteral("findingsHeading"));
    m_heading->setWordWrap(true);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("findingsText"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFocusPolicy(Qt::ClickFocus);
    m_text->setTabChangesFocus(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setAccessibleName(tr("Errors in the saved file"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4);
    column->addWidget(m_heading);
    column->addWidget(m_text);
}

void FindingsBar::setFindings(const QByteArray &lines)
{
    const QString text = textFromBytes(lines.endsWith('\n') ? lines.chopped(1) : lines);
    m_text->setPlainText(text);
    // Wide and tall enough for a few findings, even in a small window; more scroll.
    const QFontMetrics metrics(m_text->font());
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int frame = 2 * m_text->frameWidth() + int(2 * m_text->document()->documentMargin());
    m_text->setMinimumWidth(std::min(widest, 72 * metrics.averageCharWidth()) + frame);
    const int shown = std::clamp(int(text.count(QLatin1Char('\n'))) + 1, 1, 6);
    const int scrollBar = widest + frame > m_text->minimumWidth() ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    // A line spare: the view keeps some room below the last one.
    m_text->setFixedHeight((shown + 1) * metrics.lineSpacing() + frame + scrollBar);
}

QString FindingsBar::findings() const { return m_text->toPlainText(); }
