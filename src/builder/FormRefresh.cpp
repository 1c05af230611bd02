#include "builder/FormRefresh.h"

#include "builder/KnownTags.h"
#include "markup/Element.h"
#include "shell/CommandQueue.h"
#include "shell/FormSession.h"
#include "shell/MEnvVar.h"
#include "widgets/MButton.h"
#include "widgets/MListWidget.h"
#include "widgets/MListWidgetItem.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>

namespace {

// A written attribute's text, trimmed; child elements (commands) give nothing.
QByteArray writtenAttribute(const Element *element, QByteArrayView name)
{
    const Element *node = element->namedChild(name);
    return node && node->isAttribute() ? node->contentView().trimmed().toByteArray() : QByteArray();
}

// Children whose commands run when clicked, or that name things: never read again.
bool readAgain(QByteArrayView name)
{
    for (const char *other : {"onclick", "ondoubleclick", "var", "id", "refresh", "every"}) {
        if (name == QByteArrayView(other))
            return false;
    }
    return true;
}

// The commands that reading element again runs, in document order: its content
// (unless that is what a click runs) and those of its child elements.
void collectReads(const Element *element, bool ownValue, std::vector<const Element *> &reads)
{
    if (ownValue && !element->isAttribute() && element->value())
        reads.push_back(element);
    for (int i = 0; i < element->childCount(); ++i) {
        const Element *child = element->child(i);
        // A code child is the element's own value, read above (or a click command).
        if (child->isAttribute() || !readAgain(child->name()) || child->name() == "code")
            continue;
        collectReads(child, true, reads);
    }
}

} // namespace

FormRefresh::FormRefresh(FormSession &session) : QObject(&session), m_session(session) {}

FormRefresh &FormRefresh::of(FormSession &session)
{
    if (auto *own = session.findChild<FormRefresh *>(QString(), Qt::FindDirectChildrenOnly))
        return *own;
    return *new FormRefresh(session);
}

void FormRefresh::add(const KnownTag *tag, const Element *element, QWidget *widget)
{
    const QByteArray id = writtenAttribute(element, "id");
    const QByteArray var = tag && tag->has(KnownTag::BindsVariable) ? writtenAttribute(element, "var") : QByteArray();
    const QByteArray refreshes = writtenAttribute(element, "refresh");
    const QByteArray every = writtenAttribute(element, "every");
    if (id.isEmpty() && var.isEmpty() && refreshes.isEmpty() && every.isEmpty())
        return;
    const size_t index = m_targets.size();
    Target &target = m_targets.emplace_back();
    target.tag = tag;
    target.element = element;
    target.widget = widget;
    target.refreshes = refreshes;
    if (!id.isEmpty())
        m_names.emplace(id, index);
    if (!var.isEmpty()) {
        m_names.emplace(var, index);
        if (!refreshes.isEmpty())
            m_sources.emplace(var, index);
    }
    if (!refreshes.isEmpty() && widget) {
        // After the command of a button or icon list, once its output is shown.
        const auto after = [this, index] { refreshFrom(m_targets[index].refreshes, true); };
        if (auto *button = qobject_cast<MButton *>(widget))
            connect(button, &MButton::clicked, this, after);
        if (auto *list = qobject_cast<MListWidget *>(widget)) {
            connect(list, &MListWidget::outputEmit, this, after);
            for (int i = 0; i < list->entryCount(); ++i)
                connect(list->entry(i), &MListWidgetItem::outputEmit, this, after);
        }
    }
    bool ok = false;
    const double seconds = every.toDouble(&ok);
    // Nothing to show it on (a global), or no command to read (a child element
    // such as <text> counts): no timer.
    std::vector<const Element *> reads;
    if (ok && widget)
        collectReads(element, !(tag && tag->has(KnownTag::ClickCommand)), reads);
    if (ok && std::isfinite(seconds) && seconds >= kShortestEvery && !reads.empty()) {
        target.every = new QTimer(this);
        target.every->setInterval(int(std::min(seconds * 1000.0, double(INT_MAX))));
        connect(target.every, &QTimer::timeout, this, [this, index] {
            Target &t = m_targets[index];
            // Never two at once, none while the user's command runs, no pile.
            if (!t.queued && !m_session.queue().userRunning())
                read(t);
        });
    }
}

void FormRefresh::start()
{
    if (m_started)
        return;
    m_started = true;
    connect(&m_session.store(), &MEnvVar::valueUpdated, this, &FormRefresh::valueChanged);
    for (Target &target : m_targets) {
        if (target.every)
            target.every->start();
    }
}

void FormRefresh::refresh(const QByteArrayView names) { refreshFrom(names, true); }

void FormRefresh::refreshFrom(QByteArrayView names, bool anew)
{
    std::vector<size_t> targets;
    for (const QByteArray &name : names.toByteArray().simplified().split(' ')) {
        const auto [from, to] = m_names.equal_range(name);
        for (auto it = from; it != to; ++it)
            targets.push_back(it->second);
    }
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    for (const size_t index : targets) {
        Target &target = m_targets[index];
        // A new change reads again what an earlier one read; a chain reads each once.
        if (anew)
            m_wave.erase(index);
        if (target.queued || m_wave.count(index))
            continue;
        m_wave.insert(index);
        read(target);
    }
}

void FormRefresh::whenSettled(std::function<void()> then)
{
    for (auto &[name, timer] : m_settling) {
        if (timer->isActive()) {
            timer->stop();
            settled(name);
        }
    }
    // Only the reads under way now, and those they start: timed reads of other
    // elements may follow one another without end.
    Waiter waiter{{}, std::move(then)};
    for (size_t i = 0; i < m_targets.size(); ++i) {
        if (m_targets[i].queued)
            waiter.reads.insert(i);
    }
    if (waiter.reads.empty())
        waiter.then();
    else
        m_waiters.push_back(std::move(waiter));
}

void FormRefresh::read(Target &target)
{
    target.queued = true;
    ++m_outstanding;
    const size_t index = size_t(&target - m_targets.data());
    // Started by a read that someone waits for: waited for too.
    for (Waiter &waiter : m_waiters) {
        if (m_applying && waiter.reads.count(m_applyingIndex))
            waiter.reads.insert(index);
    }
    std::vector<const Element *> reads;
    collectReads(target.element, !(target.tag && target.tag->has(KnownTag::ClickCommand)), reads);
    auto outputs = std::make_shared<std::map<const Element *, std::optional<QByteArray>>>();
    if (reads.empty()) {
        QTimer::singleShot(0, this, [this, index, outputs] { apply(m_targets[index], *outputs); });
        return;
    }
    for (size_t i = 0; i < reads.size(); ++i) {
        CommandQueue::Job job;
        job.kind = CommandQueue::Kind::Read;
        job.command = *reads[i]->value();
        job.context = this;
        // Reading it changes no variable, so no other read needs to wait for it.
        job.shareShell = !(target.tag && target.tag->has(KnownTag::BindsVariable));
        const bool last = i + 1 == reads.size();
        job.done = [this, index, outputs, element = reads[i], last](const CommandResult &result) {
            (*outputs)[element] = result.output;
            if (last)
                apply(m_targets[index], *outputs);
        };
        m_session.queue().push(std::move(job));
    }
}

void FormRefresh::apply(Target &target, std::map<const Element *, std::optional<QByteArray>> outputs)
{
    target.queued = false;
    const size_t index = size_t(&target - m_targets.data());
    if (target.widget) {
        std::unordered_map<const Element *, OptText> answers(outputs.begin(), outputs.end());
        m_session.setReadAhead(std::move(answers));
        ++m_applying;
        m_applyingIndex = index;
        if (target.tag && target.tag->reload)
            target.tag->reload(m_session, target.element, target.widget);
        applyWidgetState(m_session, target.element, target.widget);
        --m_applying;
        m_session.clearReadAhead();
    }
    if (--m_outstanding == 0)
        m_wave.clear();
    std::vector<std::function<void()>> due;
    for (auto it = m_waiters.begin(); it != m_waiters.end();) {
        it->reads.erase(index);
        if (it->reads.empty()) {
            due.push_back(std::move(it->then));
            it = m_waiters.erase(it);
        } else {
            ++it;
        }
    }
    for (const std::function<void()> &then : due)
        then();
}

void FormRefresh::valueChanged(int index)
{
    const QByteArray name = m_session.store().name(index);
    const auto [from, to] = m_sources.equal_range(name);
    if (from == to)
        return;
    if (m_applying) {
        // A read changed it: the chain goes on at once, in the same wave.
        for (auto it = from; it != to; ++it)
            refreshFrom(m_targets[it->second].refreshes, false);
        return;
    }
    // Typing a word reads once: the refresh waits until the value settles.
    QTimer *&timer = m_settling[name];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(kSettleMs);
        connect(timer, &QTimer::timeout, this, [this, name] { settled(name); });
    }
    timer->start();
}

void FormRefresh::settled(const QByteArray &name)
{
    const auto [first, last] = m_sources.equal_range(name);
    for (auto it = first; it != last; ++it)
        refreshFrom(m_targets[it->second].refreshes, true);
}

void applyWidgetState(FormSession &session, const Element *element, QWidget *widget)
{
    if (const Element *enabled = element->namedChild("enabled"))
        widget->setEnabled(session.value(enabled).value_or(QByteArray()) != "0");
    if (const Element *visible = element->namedChild("visible")) {
        const bool hide = session.value(visible).value_or(QByteArray()) == "0";
        if (widget->isHidden() != hide)
            widget->setVisible(!hide);
    }
}
