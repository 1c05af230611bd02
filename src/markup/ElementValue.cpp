#include "markup/Element.h"

#include <cstring>

OptText Element::value() const
{
    if (hasContent())
        return content();
    return attribute("code");
}

const Element *Element::namedChild(QByteArrayView name) const
{
    for (quint32 i = 0; i < m_childCount; ++i) {
        const QByteArray &n = *m_children[i].m_name;
        if (n.size() == name.size() && std::memcmp(n.constData(), name.data(), size_t(name.size())) == 0)
            return &m_children[i];
    }
    return nullptr;
}

OptText Element::attribute(const char *name) const
{
    const Element *c = namedChild(QByteArrayView(name, qsizetype(std::strlen(name))));
    return c ? c->value() : std::nullopt;
}

OptText trimWhitespace(const OptText &text)
{
    if (!text)
        return std::nullopt;
    const QByteArray &t = *text;
    qsizetype b = 0, e = t.size();
    while (b < e && isBlank(t[b]))
        ++b;
    while (e > b && isBlank(t[e - 1]))
        --e;
    if (b == 0 && e == t.size())
        return text;
    return t.mid(b, e - b);
}
