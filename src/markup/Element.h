#pragma once

#include <QByteArray>

#include <memory>
#include <optional>
#include <vector>

// A text that may be absent: std::nullopt is "no value", an empty QByteArray is
// "the empty text". The two mean different things throughout kiv.
using OptText = std::optional<QByteArray>;

// One node of the element tree: a tag element, or an attribute node of its tag.
// The children of a tag are its attribute nodes in written order, then its child
// elements in document order.
class Element
{
public:
    Element(QByteArray name, bool attributeNode, OptText content = std::nullopt)
        : m_name(std::move(name)), m_attribute(attributeNode), m_content(std::move(content)) {}

    const QByteArray &name() const { return m_name; }
    bool isAttribute() const { return m_attribute; }
    const OptText &content() const { return m_content; }
    int childCount() const { return int(m_children.size()); }
    const Element *child(int i) const
    {
        return i >= 0 && i < childCount() ? m_children[size_t(i)].get() : nullptr;
    }

    // The element's text, raw or run as a command with its output trimmed.
    OptText value(bool evaluate) const;
    // The value of the first child (attribute node or child element) named name.
    OptText attribute(const char *name, bool evaluate) const;

    void setContent(OptText content) { m_content = std::move(content); }
    void appendChild(std::unique_ptr<Element> child) { m_children.push_back(std::move(child)); }
    std::unique_ptr<Element> takeChild(int i) { return std::move(m_children[size_t(i)]); }

private:
    QByteArray m_name;
    bool m_attribute;
    OptText m_content;
    std::vector<std::unique_ptr<Element>> m_children;
};

// Drops blanks (space, tab, newline) at both ends. A text made only of blanks
// trims to the empty text.
OptText trimWhitespace(const OptText &text);

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
