#include "builder/LiveAttributes.h"

#include "builder/KnownTags.h"

#include <cmath>

namespace {

using D = Diagnostic;

// Tags that build no widget of their own have nothing to enable or show.
bool isWidget(QByteArrayView tag)
{
    const KnownTag *known = knownTag(tag);
    return !known || known->has(KnownTag::Widget);
}

// A value written in the tag: one given as a child element is a command, whose
// output is unknown until the form runs.
const Element *written(const Element *e, const char *name)
{
    const Element *a = e->namedChild(name);
    return a && a->isAttribute() ? a : nullptr;
}

} // namespace

void LiveAttributes::add(D::Kind kind, qsizetype offset, QString message)
{
    m_out.push_back({kind, offset, std::move(message), {}});
}

void LiveAttributes::element(const Element *e, const KnownTag &k)
{
    const bool widget = isWidget(e->name());
    if (const Element *id = written(e, "id"); id && !id->contentView().isEmpty()) {
        const QByteArray name = id->contentView().toByteArray();
        if (const auto first = m_ids.constFind(name); first != m_ids.cend()) {
            add(D::Error, id->offset(), QStringLiteral("id \"%1\" is used twice").arg(shownBytes(name)));
            m_out.back().notes.push_back(
                {D::Note, *first, QStringLiteral("\"%1\" is first used here").arg(shownBytes(name)), {}});
        } else {
            m_ids.insert(name, id->offset());
            m_targets.push_back(name);
        }
    }
    if (const Element *var = written(e, "var"); var && widget && k.has(KnownTag::BindsVariable))
        m_targets.push_back(var->contentView().toByteArray());
    if (const Element *refresh = written(e, "refresh"))
        m_refresh.push_back(refresh);
    if (const Element *every = written(e, "every")) {
        bool ok = false;
        const QByteArrayView value = every->contentView();
        const double seconds = value.toByteArray().toDouble(&ok);
        if (!ok || !std::isfinite(seconds))
            add(D::Error, every->offset(),
                QStringLiteral("every \"%1\" is not a number of seconds").arg(shownBytes(value)));
        else if (seconds < 0.1)
            add(D::Error, every->offset(),
                QStringLiteral("every \"%1\" is below 0.1 seconds, the shortest interval").arg(shownBytes(value)));
    }
    if (const Element *exit = written(e, "exit"); exit && e->name() == "button") {
        bool ok = false;
        const int status = exit->contentView().toByteArray().trimmed().toInt(&ok);
        if (!ok || status < 0 || status > 125)
            add(D::Error, exit->offset(),
                QStringLiteral("exit \"%1\" is no whole number from 0 to 125").arg(shownBytes(exit->contentView())));
    }
    for (const char *name : {"enabled", "visible"}) {
        if (const Element *a = written(e, name); a && !widget)
            add(D::Warning, a->offset(),
                QStringLiteral("<%1> is no widget: '%2' changes nothing").arg(shownBytes(e->name()), QLatin1String(name)));
    }
}

std::vector<Diagnostic> LiveAttributes::finish()
{
    for (const Element *refresh : m_refresh) {
        const QByteArrayView list = refresh->contentView();
        for (qsizetype i = 0; i < list.size();) {
            if (isBlank(list[i])) {
                ++i;
                continue;
            }
            qsizetype end = i;
            while (end < list.size() && !isBlank(list[end]))
                ++end;
            const QByteArrayView target = list.sliced(i, end - i);
            if (std::find(m_targets.begin(), m_targets.end(), target) == m_targets.end()) {
                QString message = QStringLiteral("refresh target \"%1\" names nothing: no bound widget has this "
                                                 "var and no element this id")
                                      .arg(shownBytes(target));
                if (const QByteArray near = closestName(target, m_targets); !near.isEmpty())
                    message += QStringLiteral(" (did you mean \"%1\"?)").arg(shownBytes(near));
                add(D::Error, offsetOf(target), message);
            }
            i = end;
        }
    }
    return std::move(m_out);
}
