#pragma once

#include <QByteArray>
#include <QString>

class Element;

// An attribute as kiv --check sees it: without running anything, a value is known
// only when it is written as an attribute and holds no command substitution.
struct StaticValue
{
    const Element *node = nullptr; // the attribute or child element; null when absent
    bool known = false;            // text is the value that the builder will read
    QByteArray text;

    bool absent() const { return !node; }
    // Where a warning about it points: the attribute, else the element.
    qsizetype offset(const Element *element) const;
};

StaticValue staticAttribute(const Element *element, const char *name);

// True when the element's start value comes from its text attribute: it has no
// command (content or code) whose output would stand in front of it.
bool startsFromTextAttribute(const Element *element);

// What kiv --check says about a value that only one kind of element reads.
struct TagWarning
{
    qsizetype offset;  // where in the form's text
    QString message;
};
