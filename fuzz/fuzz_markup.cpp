// libFuzzer target for the mc reader: any bytes go through the parser, then every
// value a builder could read is read raw and trimmed, every position is looked
// up, and what the reader went through is matched against the tree.

#include "markup/Document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void walk(const Document &doc, const Element *e)
{
    const TextPosition at = doc.position(e);
    if (at.line < 1 || at.column < 1 || e->offset() > doc.text().size())
        std::abort();
    const OptText raw = e->value();
    const OptText trimmed = trimWhitespace(raw);
    if (raw.has_value() != trimmed.has_value() || (raw && trimmed->size() > raw->size()))
        std::abort();
    if (e->name().isEmpty() || (e->isAttribute() && !e->content()))
        std::abort();
    for (const char *name : {"code", "var", "title", "width", "height", "icon", "onclick"})
        (void)trimWhitespace(e->attribute(name));
    for (int i = 0; i < e->childCount(); ++i)
        walk(doc, e->child(i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    ReadDetails details;
    const std::unique_ptr<Document> doc = parseDocumentText(text, &details);
    if (!doc)
        std::abort();
    if (doc->root())
        walk(*doc, doc->root());
    else if (doc->error().isEmpty())
        std::abort();
    // Every tag that became an element lies before the end of reading.
    for (const TagRecord &t : details.tags) {
        if (t.next > text.size() || (t.inTree && !doc->root()) || (t.inTree && t.start >= details.readEnd))
            std::abort();
    }
    for (const NestingProblem &p : nestingProblems(text, details.tags)) {
        if (p.tag < 0 || size_t(p.tag) >= details.tags.size())
            std::abort();
    }
    for (const auto &[name, value] : parseAttributes(text)) {
        if (name.isEmpty() || value.isNull())
            std::abort();
    }
    return 0;
}
