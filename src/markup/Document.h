#pragma once

#include "markup/Element.h"

#include <QString>

#include <memory>
#include <vector>

// What loadDocument gives: the root element, or no root and the reason.
class Document
{
public:
    explicit Document(std::unique_ptr<Element> root, QString error = {})
        : m_root(std::move(root)), m_error(std::move(error)) {}

    const Element *root() const { return m_root.get(); }
    // Why there is no root ("element <a> opened on line 3 is never closed", ...).
    const QString &error() const { return m_error; }

private:
    std::unique_ptr<Element> m_root;
    QString m_error;
};

// Elements nested deeper than this are refused rather than exhausting the stack.
constexpr int kMaxNesting = 1000;

// One tag as the scanner found it. Positions are offsets into the parsed text.
struct ScannedTag
{
    QByteArray name;
    bool closing = false;
    bool selfClosing = false;
    OptText attributeText;
    qsizetype start = 0;   // the tag's '<'
    qsizetype nameAt = 0, nameSize = 0;             // where name and attribute text lie
    qsizetype attributesAt = 0, attributesSize = 0; // in the text (size 0: none)
    qsizetype next = 0;    // just after the tag's '>'
    qsizetype resume = 0;  // set by parseElement: where the caller goes on
};

// Reads and parses the mc file at path. Null when the file cannot be read or holds
// no tag (error then says why: the system's error text, or "no element found").
// A document whose root could not be built carries the reason in Document::error.
// The path is bytes: a file name that is not UTF-8 opens too.
std::unique_ptr<Document> loadDocument(const QByteArray &path, QString *error = nullptr);

// Parses a text whose first character is the root's '<'. Never null.
// firstLine is the line number of the text's first character (for messages).
std::unique_ptr<Document> parseDocumentText(const QByteArray &text, int firstLine = 1);

// The first complete tag at or after from and before end, or nothing.
std::optional<ScannedTag> scanTag(const char *text, qsizetype from, qsizetype end);

// Builds the element that tag opens, with its subtree. Null when it never closes.
std::unique_ptr<Element> parseElement(ScannedTag *tag, const char *text, qsizetype end);

// The attribute nodes of an attribute text, in order.
std::vector<std::unique_ptr<Element>> parseAttributes(const QByteArray &attributeText);
