#include "builder/ProgressBar.h"

#include "builder/Builders.h"
#include "shell/MOHandler.h"
#include "widgets/WidgetSetup.h"

#include <QLayout>

ProgressBarView::ProgressBarView(const QString &idleText, QWidget *parent)
    : QProgressBar(parent), m_idleText(idleText)
{
    setObjectName(QStringLiteral("progressBar"));
    setRange(0, 100);
    setValue(0);
    setAlignment(Qt::AlignCenter);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &ProgressBarView::apply);
}

void ProgressBarView::setHandler(MOHandler *handler)
{
    if (!handler)
        return;
    handler->setProgressLines(true);
    connect(handler, &MOHandler::outputBegun, this, &ProgressBarView::begin);
    connect(handler, &MOHandler::outputEnded, this, &ProgressBarView::end);
    connect(handler, &MOHandler::progressChanged, this, [this](int percent) {
        m_pending = percent;
        if (!m_refresh.isActive())
            m_refresh.start();
    });
    connect(handler, &MOHandler::progressTextChanged, this, [this](const QString &text) {
        // Null means "nothing pending": an empty "# " line still clears the text.
        m_pendingText = text.isNull() ? QStringLiteral("") : text;
        if (!m_refresh.isActive())
            m_refresh.start();
    });
}

QString ProgressBarView::text() const
{
    if (!m_text.isNull())
        return m_text;
    return m_hasNumber ? QProgressBar::text() : m_idleText;
}

void ProgressBarView::begin()
{
    m_refresh.stop();
    m_pending = -1;
    m_pendingText = QString();
    m_text = QString();
    m_hasNumber = false;
    // No number yet: the busy animation.
    setRange(0, 0);
    update();
}

void ProgressBarView::end()
{
    m_refresh.stop();
    apply();
    if (!m_hasNumber) {
        setRange(0, 100);
        setValue(0);
    }
    update();
}

void ProgressBarView::apply()
{
    if (!m_pendingText.isNull()) {
        m_text = m_pendingText;
        m_pendingText = QString();
    }
    if (m_pending >= 0) {
        if (!m_hasNumber) {
            m_hasNumber = true;
            setRange(0, 100);
        }
        setValue(m_pending);
        m_pending = -1;
    }
    update();
}

void buildProgress(FormSession &session, const Element *element, QLayout *parent)
{
    auto *bar = new ProgressBarView(toQString(session.attribute(element, "text")));
    bar->setHandler(&session.output());
    applySizeAttributes(session, element, bar);
    if (parent)
        parent->addWidget(bar);
}
