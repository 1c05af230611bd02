#include "markup/Element.h"

#include "shell/CommandRunner.h"

OptText Element::value(bool evaluate) const
{
    if (m_content) {
        if (!evaluate || m_attribute)
            return m_content;
        return trimWhitespace(runCommand(m_content));
    }
    OptText code = attribute("code", false);
    if (!evaluate)
        return code;
    return trimWhitespace(runCommand(code));
}

OptText Element::attribute(const char *name, bool evaluate) const
{
    for (const auto &c : m_children) {
        if (c->m_name == name)
            return c->value(evaluate);
    }
    return std::nullopt;
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
