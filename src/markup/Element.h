#pragma once

#include "markup/TextRules.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// A text that may be absent: std::nullopt is "no value", an empty QByteArray is
// "the empty text". The two mean different things throughout kiv.
using OptText = std::optional<QByteArray>;

class TreeBuilder;

// One node of the element tree: a tag element, or an attribute node of its tag.
// The children of a tag are its attribute nodes in written order, then its child
// elements in document order.
//
// Elements belong to their Document: names are shared, texts point into the
// document's text and children lie side by side, so a node costs no allocation
// of its own.
class Element
{
public:
    const QByteArray &name() const { return *m_name; }
    bool isAttribute() const { return m_flags & kAttribute; }
    bool hasContent() const { return m_flags & kHasContent; }
    // The content as written (empty when there is none), without copying it.
    QByteArrayView contentView() const { return {m_content, qsizetype(m_contentSize)}; }
    OptText content() const
    {
        return hasContent() ? OptText(QByteArray(m_content, qsizetype(m_contentSize))) : std::nullopt;
    }
    int childCount() const { return int(m_childCount); }
    const Element *child(int i) const
    {
        return i >= 0 && i < childCount() ? &m_children[i] : nullptr;
    }
    // Where the element starts in its document's text: a tag's '<', an attribute's
    // name. Document::position turns it into a line and a column.
    qsizetype offset() const { return qsizetype(m_offset); }

    // The element's text as written: its content, else its "code" attribute.
    // Running it as a command is the shell's business (FormSession::value).
    OptText value() const;
    // The raw value of the first child (attribute node or child element) named name.
    OptText attribute(const char *name) const;
    // That first child itself, or null.
    const Element *namedChild(QByteArrayView name) const;

private:
    friend class TreeBuilder;
    enum : quint32 { kAttribute = 1, kHasContent = 2 };

    const QByteArray *m_name = nullptr;
    const char *m_content = nullptr;
    quint32 m_contentSize = 0;
    quint32 m_childCount = 0;
    const Element *m_children = nullptr;
    quint32 m_offset = 0;
    quint32 m_flags = 0;
};

// Drops blanks (space, tab, newline) at both ends. A text made only of blanks
// trims to the empty text.
OptText trimWhitespace(const OptText &text);

