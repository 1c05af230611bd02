#include "markup/StaticValue.h"

#include "markup/Element.h"

#include <algorithm>

namespace {

bool allBlank(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return isBlank(c); });
}

} // namespace

qsizetype StaticValue::offset(const Element *element) const
{
    return node ? node->offset() : element->offset();
}

StaticValue staticAttribute(const Element *element, const char *name)
{
    StaticValue value;
    value.node = element->namedChild(QByteArrayView(name));
    if (!value.node || !value.node->isAttribute())
        return value;
    const QByteArrayView raw = value.node->contentView();
    // Attributes are never run, but an author who writes $(...) meant something
    // that the value will not be: judging it as written would only confuse.
    if (raw.contains("$(") || raw.contains('`'))
        return value;
    value.known = true;
    value.text = raw.toByteArray();
    return value;
}

bool startsFromTextAttribute(const Element *element)
{
    if (!allBlank(element->contentView()))
        return false;
    const Element *code = element->namedChild("code");
    return !code || (code->isAttribute() && allBlank(code->contentView()));
}
