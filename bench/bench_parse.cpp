// Speed and memory of the mc reader, each figure next to a reference measured in
// the same run on the same machine:
//   throughput   parseDocumentText on a 10 MB form vs a plain one-pass recursive
//                descent builder of the same tree from the same text (below)
//   memory       bytes per node (elements and attributes) that the tree keeps
//   worst case   <r> + 997 unclosed <a> + 400,000 <c/> vs a form of the same size
//   checker      68,000 findings on one line vs one per line; an attribute flood
//                vs a typical form of the same size
// Every figure is the median of several runs. Usage: bench_parse [runs]

#include "Measure.h"
#include "builder/FormChecker.h"
#include "markup/Document.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

// The reference: reads a well-formed form in one pass, by recursive descent,
// into the same kind of tree, with the same rules for tags, attributes and
// contents. It knows no recovery: it is what reading would cost if forms were
// never broken.
class OnePassBuilder
{
public:
    explicit OnePassBuilder(const QByteArray &text)
        : m_builder(text), m_s(m_builder.text().constData()), m_n(m_builder.text().size())
    {
    }

    std::unique_ptr<Document> build()
    {
        Element root;
        if (element(tagAfter(0), root) < 0)
            die("the one-pass builder cannot read the form");
        return m_builder.finish(root);
    }

private:
    [[noreturn]] static void die(const char *what)
    {
        std::fprintf(stderr, "bench_parse: %s\n", what);
        std::exit(2);
    }

    qsizetype tagAfter(qsizetype i) const
    {
        bool quoted = false;
        for (; i < m_n; ++i) {
            if (m_s[i] == '"')
                quoted = !quoted;
            else if (m_s[i] == '<' && !quoted)
                break;
        }
        return i;
    }

    // Reads the element whose '<' is at lt into out; returns where it ends, or -1.
    qsizetype element(qsizetype lt, Element &out)
    {
        qsizetype p = lt + 1;
        const qsizetype nameAt = p;
        while (p < m_n && !isBlank(m_s[p]) && m_s[p] != '>')
            ++p;
        qsizetype nameEnd = p;
        if (p >= m_n)
            return -1;
        if (m_s[p - 1] == '/')
            --nameEnd;
        out = m_builder.tag(nameAt, nameEnd - nameAt, lt);
        const size_t base = m_pending.size();
        bool quoted = false;
        qsizetype gt = p;
        for (; gt < m_n && (quoted || m_s[gt] != '>'); ++gt)
            quoted ^= m_s[gt] == '"';
        if (gt >= m_n)
            return -1;
        const bool selfClosing = m_s[gt - 1] == '/';
        attributes(p, selfClosing ? gt - 1 : gt);
        const size_t attributesEnd = m_pending.size();
        qsizetype next = gt + 1;
        if (!selfClosing) {
            const qsizetype contentAt = next;
            for (;;) {
                const qsizetype q = tagAfter(next);
                if (q + 1 >= m_n)
                    return -1;
                if (m_s[q + 1] == '/') {
                    if (m_pending.size() == attributesEnd)
                        m_builder.setContent(out, contentAt, q - contentAt);
                    next = q + 2;
                    while (next < m_n && m_s[next] != '>')
                        ++next;
                    if (next >= m_n)
                        return -1;
                    ++next;
                    break;
                }
                Element child;
                next = element(q, child);
                if (next < 0)
                    return -1;
                m_pending.push_back(child);
            }
        }
        m_builder.setChildren(out, m_pending.data() + base, int(m_pending.size() - base));
        m_pending.resize(base);
        return next;
    }

    void attributes(qsizetype i, qsizetype end)
    {
        for (;;) {
            while (i < end && isBlank(m_s[i]))
                ++i;
            if (i >= end)
                return;
            const qsizetype nameAt = i;
            while (i < end && !isBlank(m_s[i]) && m_s[i] != '=')
                ++i;
            const qsizetype nameEnd = i;
            while (i < end && m_s[i] != '=')
                ++i;
            qsizetype valueAt = i + 1, valueEnd;
            while (valueAt < end && isBlank(m_s[valueAt]))
                ++valueAt;
            if (valueAt < end && m_s[valueAt] == '"') {
                ++valueAt;
                valueEnd = valueAt;
                while (valueEnd < end && m_s[valueEnd] != '"')
                    ++valueEnd;
                i = valueEnd + 1;
            } else {
                valueEnd = valueAt;
                while (valueEnd < end && m_s[valueEnd] != ' ')
                    ++valueEnd;
                i = valueEnd;
            }
            m_pending.push_back(m_builder.attribute(nameAt, nameEnd - nameAt, valueAt, valueEnd - valueAt));
        }
    }

    TreeBuilder m_builder;
    const char *m_s;
    qsizetype m_n;
    std::vector<Element> m_pending;
};

// A form of realistic shape, repeated up to about the given size.
QByteArray sampleForm(qsizetype bytes)
{
    const QByteArray block(
        "  <hlayout width=\"400\" height=\"30\">\n"
        "    <label>echo \"Name of the $KIND\"</label>\n"
        "    <text var=\"NAME\" title=\"Name\">echo World</text>\n"
        "    <combobox var=\"LEVEL\"><code>printf '%s\\n' fast '#best'</code></combobox>\n"
        "    <button title=\"Run\">echo \"Hello $NAME\" | tr a-z A-Z</button>\n"
        "  </hlayout>\n");
    QByteArray form("<vlayout>\n");
    form.reserve(bytes + block.size() + 16);
    while (form.size() + block.size() < bytes)
        form += block;
    form += "</vlayout>\n";
    return form;
}

QByteArray repeated(const char *piece, int times)
{
    return QByteArray(piece).repeated(times);
}

size_t countNodes(const Element *e)
{
    size_t n = 1;
    for (int i = 0; i < e->childCount(); ++i)
        n += countNodes(e->child(i));
    return n;
}

bool sameTree(const Element *a, const Element *b)
{
    if (a->name() != b->name() || a->isAttribute() != b->isAttribute() || a->content() != b->content()
        || a->offset() != b->offset() || a->childCount() != b->childCount())
        return false;
    for (int i = 0; i < a->childCount(); ++i) {
        if (!sameTree(a->child(i), b->child(i)))
            return false;
    }
    return true;
}




[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "bench_parse: %s\n", what);
    std::exit(2);
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;
    std::vector<Row> rows;
    std::unique_ptr<Document> doc, ref;
    auto release = [&] {
        doc.reset();
        ref.reset();
    };

    // Throughput against the one-pass builder, and memory.
    const QByteArray big = sampleForm(10 * 1000 * 1000);
    size_t nodes = 0;
    {
        doc = parseDocumentText(big);
        ref = OnePassBuilder(big).build();
        if (!doc->root() || !ref->root() || !sameTree(doc->root(), ref->root()))
            fail("the reader and the one-pass builder disagree on the sample form");
        nodes = countNodes(doc->root());
        release();

        const auto [kiv, one] = medianPair(
            runs, [&] { doc = parseDocumentText(big); }, [&] { ref = OnePassBuilder(big).build(); }, release);
        const double mbps = big.size() / kiv / 1e6;
        rows.push_back({"parseDocumentText, 10 MB form", fmt("%.1f ms", kiv * 1e3),
                        fmt("%.1f ms", one * 1e3) + " (one-pass builder)", fmt("%.2fx", kiv / one), "<= 1.2x",
                        kiv / one <= 1.2});
        rows.push_back({"  throughput", fmt("%.0f MB/s", mbps), fmt("%.0f MB/s", big.size() / one / 1e6), "",
                        ">= 200 MB/s", mbps >= 200});

        const size_t before = heapInUse();
        doc = parseDocumentText(big);
        const size_t tree = heapInUse() - before;
        release();
        const size_t beforeRef = heapInUse();
        ref = OnePassBuilder(big).build();
        const size_t treeRef = heapInUse() - beforeRef;
        release();
        // The tree refers into the text, which it therefore keeps alive.
        rows.push_back({"bytes per node (" + std::to_string(nodes) + " nodes)",
                        fmt("%.1f", double(tree) / double(nodes)) + " + "
                            + fmt("%.1f", double(big.size()) / double(nodes)) + " text",
                        fmt("%.1f", double(treeRef) / double(nodes)) + " + text (one-pass)",
                        fmt("%.2fx", double(tree) / double(treeRef)), "", true});

        // Ten times the text should take about ten times as long; caches and
        // fresh pages make both readers grow faster than that, alike.
        const QByteArray small = sampleForm(1000 * 1000);
        const auto [kivSmall, oneSmall] = medianPair(
            runs, [&] { doc = parseDocumentText(small); }, [&] { ref = OnePassBuilder(small).build(); }, release);
        const double growth = kiv / kivSmall, oneGrowth = one / oneSmall;
        rows.push_back({"parse time 10 MB / 1 MB", fmt("%.1f ms", kiv * 1e3) + " / " + fmt("%.1f ms", kivSmall * 1e3),
                        fmt("%.1fx", oneGrowth) + " (one-pass builder)", fmt("%.1fx", growth), "<= 1.2x ref.",
                        growth <= 1.2 * oneGrowth});
    }

    // Unclosed nesting: every level that gives up reads its child's tags again.
    struct Worst
    {
        const char *what;
        QByteArray text;
        double goal;
    };
    QByteArray distinct("<r>");
    for (int i = 0; i < 997; ++i)
        distinct += "<a" + QByteArray::number(i) + '>';
    distinct += repeated("<c/>", 400000);
    const Worst worst[] = {
        {"<r> + 997 unclosed <a> + 400,000 <c/>", "<r>" + repeated("<a>", 997) + repeated("<c/>", 400000), 10},
        {"<r> + 997 unclosed <aN> + 400,000 <c/>", distinct, 10},
        {"<r> + 997 unclosed <a> + 200,000 </c></c>", "<r>" + repeated("<a>", 997) + repeated("</c></c>", 200000), 0},
    };
    for (const Worst &w : worst) {
        const QByteArray typical = sampleForm(w.text.size());
        const auto [bad, good] = medianPair(
            runs, [&] { doc = parseDocumentText(w.text); }, [&] { ref = parseDocumentText(typical); }, release);
        const double ratio = bad / good;
        rows.push_back({w.what, fmt("%.1f ms", bad * 1e3),
                        fmt("%.1f ms", good * 1e3) + " (typical form, " + fmt("%.1f MB)", w.text.size() / 1e6),
                        fmt("%.2fx", ratio), w.goal > 0 ? "<= " + fmt("%.0fx", w.goal) : "",
                        w.goal <= 0 || ratio <= w.goal});
    }

    // The checker on many findings in one line: each finding's column is counted
    // from the start of its line, which must not cost the line's length.
    {
        const QByteArray oneLine = "<vlayout>" + repeated("<buton/>", 68000) + "</vlayout>";
        const QByteArray manyLines = "<vlayout>" + repeated("<buton/>\n", 68000) + "</vlayout>";
        const auto [one, many] =
            medianPair(runs, [&] { checkFormText(oneLine); }, [&] { checkFormText(manyLines); });
        rows.push_back({"checkFormText, 68,000 findings on one line", fmt("%.1f ms", one * 1e3),
                        fmt("%.1f ms", many * 1e3) + " (one finding per line)", fmt("%.2fx", one / many), "<= 1.5x",
                        one / many <= 1.5});
        // A flood of one attribute: one finding, however long the tag.
        const QByteArray flood = "<label" + repeated(" x=\"1\"", 2000000) + "/>";
        const QByteArray typical = sampleForm(flood.size());
        const auto [bad, good] = medianPair(runs, [&] { checkFormText(flood); }, [&] { checkFormText(typical); });
        rows.push_back({"checkFormText, 2,000,000 x=\"1\" in one tag", fmt("%.1f ms", bad * 1e3),
                        fmt("%.1f ms", good * 1e3) + " (typical form, " + fmt("%.0f MB)", flood.size() / 1e6),
                        fmt("%.2fx", bad / good), "<= 3x", bad / good <= 3});
    }

    std::printf("%-44s | %-24s | %-34s | %-7s | %-12s | %s\n", "measure (median of runs)", "kiv", "reference", "ratio",
                "goal", "met");
    std::printf("%s\n", std::string(44 + 24 + 34 + 7 + 12 + 3 + 5 * 3, '-').c_str());
    bool all = true;
    for (const Row &r : rows) {
        std::printf("%-44s | %-24s | %-34s | %-7s | %-12s | %s\n", r.what.c_str(), r.kiv.c_str(), r.reference.c_str(),
                    r.ratio.c_str(), r.goal.c_str(), r.goal.empty() ? "" : r.met ? "yes" : "NO");
        all = all && r.met;
    }
    std::printf("runs per figure: %d\n", runs);
    return all ? 0 : 1;
}
