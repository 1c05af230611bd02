#pragma once

#include "markup/Element.h"
#include "markup/ReadProblem.h"
#include "markup/Scanner.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Elements nested deeper than this are refused rather than exhausting the stack.
constexpr int kMaxNesting = 1000;

// Qt lays out nested tab widgets and scroll areas far more slowly than nested
// layouts, so each of them counts as several levels; measured so that the
// deepest form taken still opens within a few seconds (docs/performance.md).
struct NestingWeight
{
    const char *name;
    int levels;
};
inline constexpr NestingWeight kNestingWeights[] = {{"tab", 10}, {"scrolllayout", 5}};

// Why a form nests too deeply, with the line when it is not 0.
QString tooDeepText(int line = 0);

// A place in a text: line and column both count from 1; the column counts
// characters (a tab is one, so is each byte that is not UTF-8).
struct TextPosition
{
    int line = 0;
    int column = 0;
};

// Where lines begin, and how many characters come before each block of bytes, so
// that a position costs the same on a 1 MB line as on a short one. Filled on
// first use.
struct TextIndex
{
    static constexpr qsizetype kBlock = 512;
    std::vector<qsizetype> lineStarts;
    std::vector<quint32> charsBefore; // characters before each block
};

// Line and column of offset in text.
TextPosition positionIn(const QByteArray &text, qsizetype offset, TextIndex &index);

class ElementStore;

// What loadDocument gives: the text as read, the root element (or no root and
// the reason), and the place of every element in the text.
class Document
{
public:
    explicit Document(QByteArray text, ReadProblem problem = {});
    ~Document();

    const Element *root() const { return m_root; }
    // Why there is no root ("element <a> opened on line 3 is never closed", ...).
    const QString &error() const { return m_error; }
    // Where the reason lies in the text, or -1.
    qsizetype errorOffset() const { return m_problem.offset; }
    const ReadProblem &problem() const { return m_problem; }
    // The whole text as read: element names and contents point into it.
    const QByteArray &text() const { return m_text; }
    TextPosition position(qsizetype offset) const { return positionIn(m_text, offset, m_index); }
    TextPosition position(const Element *element) const { return position(element->offset()); }

private:
    friend class TreeBuilder;
    QByteArray m_text;
    void setProblem(ReadProblem problem);

    ReadProblem m_problem;
    QString m_error; // m_problem in words
    const Element *m_root = nullptr;
    std::unique_ptr<ElementStore> m_store;
    mutable TextIndex m_index;
};

// Builds an element tree over a text: names are shared, contents point into the
// text, and each element's children are stored side by side. The reader uses it;
// so may anything else that builds trees (benchmarks, tests).
class TreeBuilder
{
public:
    explicit TreeBuilder(const QByteArray &text);
    ~TreeBuilder();
    TreeBuilder(const TreeBuilder &) = delete;
    TreeBuilder &operator=(const TreeBuilder &) = delete;

    const QByteArray &text() const;
    // name and content are ranges of text(); offsets count from its start.
    Element tag(qsizetype nameAt, qsizetype nameSize, qsizetype offset);
    Element attribute(qsizetype nameAt, qsizetype nameSize, qsizetype valueAt, qsizetype valueSize);
    void setContent(Element &element, qsizetype at, qsizetype size) const;
    // Copies count elements into the document; they become element's children.
    void setChildren(Element &element, const Element *children, int count);
    std::unique_ptr<Document> finish(const Element &root);
    std::unique_ptr<Document> fail(ReadProblem problem);

private:
    std::unique_ptr<Document> m_document;
};

// What the reader went through, for those who explain a document to its author.
struct ReadDetails
{
    std::vector<TagRecord> tags; // every tag the reader can reach, the root's first
    qsizetype rootAt = -1;       // the root's '<'; -1: the text holds no tag
    qsizetype tagsEnd = 0;       // where looking for tags stopped: the '<' of an
                                 // incomplete tag, or the end of the text
    qsizetype readEnd = 0;       // the reader ignores everything from here on
    qsizetype tooDeepAt = -1;    // the tag where nesting went over the limit (tooDeepText)
};

// Elements that do not nest as written, found by matching closing tags against
// the elements they close, as the author meant them.
struct NestingProblem
{
    enum Kind {
        Unclosed, // tag is never closed; other: the closing tag that closes an
                  // enclosing element instead, or -1 at the end of the text
        Stray,    // closing tag tag closes nothing; other: the innermost open
                  // element, or -1 when none is open
    };
    Kind kind;
    int tag;
    int other;
};
// rootClose, when given, receives the index of the tag that closes the root as
// the author wrote it, or -1 when none does.
std::vector<NestingProblem> nestingProblems(const QByteArray &text, const std::vector<TagRecord> &tags,
                                            int *rootClose = nullptr);

// The tree the author meant, for telling them about what the reader leaves out:
// each closing tag among tags[0..last] closes the open element of its name, an
// element left open ends where the element around it does (what follows it
// becomes its siblings), a closing tag that matches no open element is skipped.
// Null when the elements nest deeper than kMaxNesting.
std::unique_ptr<Document> intendedDocument(const QByteArray &text, const std::vector<TagRecord> &tags, int last);

// Reads and parses the mc file at path. Null when the file cannot be read or holds
// no tag (error then says why: the system's error text, or "no element found").
// A document whose root could not be built carries the reason in Document::error.
// The path is bytes: a file name that is not UTF-8 opens too. details, when
// given, receives what the reader went through.
std::unique_ptr<Document> loadDocument(const QByteArray &path, QString *error = nullptr,
                                       ReadDetails *details = nullptr);

// The whole content of the mc file at path; nothing, with the system's reason in
// error, when it cannot be read.
std::optional<QByteArray> readMcFile(const QByteArray &path, QString *error = nullptr);
// The same for standard input, read to its end (a terminal too).
std::optional<QByteArray> readMcStandardInput(QString *error = nullptr);

// Parses the text of an mc file as loadDocument does: anything before the root,
// <?...?> declarations included, is skipped. Null when the text holds no tag.
std::unique_ptr<Document> parseDocument(const QByteArray &text, QString *error = nullptr,
                                        ReadDetails *details = nullptr);

// Parses a text whose first character is the root's '<'. Never null.
std::unique_ptr<Document> parseDocumentText(const QByteArray &text, ReadDetails *details = nullptr);

