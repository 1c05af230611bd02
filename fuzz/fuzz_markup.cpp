// libFuzzer target for the mc reader: any bytes go through the parser, then every
// value a builder could read is read raw and trimmed.

#include "markup/Document.h"
#include "shell/CommandRunner.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Raw reads never run a command; an evaluated read sneaking in is a finding too.
OptText runCommand(const OptText &)
{
    std::abort();
}

namespace {

void walk(const Element *e)
{
    const OptText raw = e->value(false);
    const OptText trimmed = trimWhitespace(raw);
    if (raw.has_value() != trimmed.has_value() || (raw && trimmed->size() > raw->size()))
        std::abort();
    if (e->name().isEmpty() || (e->isAttribute() && !e->content()))
        std::abort();
    for (const char *name : {"code", "var", "title", "width", "height", "icon", "onclick"})
        (void)trimWhitespace(e->attribute(name, false));
    for (int i = 0; i < e->childCount(); ++i)
        walk(e->child(i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::unique_ptr<Document> doc = parseDocumentText(text);
    if (!doc)
        std::abort();
    if (doc->root())
        walk(doc->root());
    else if (doc->error().isEmpty())
        std::abort();
    for (const auto &node : parseAttributes(text))
        walk(node.get());
    return 0;
}
