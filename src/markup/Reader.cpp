#include "markup/Document.h"
#include "markup/LosslessText.h"
#include "markup/Scanner.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

using namespace scan;

namespace {

// What both readers below start from: the text, kept by the document being
// built, and where its root begins.
class TextReader
{
protected:
    TextReader(const QByteArray &text, qsizetype rootAt, ReadDetails *details)
        : m_builder(text), m_text(m_builder.text().constData()), m_size(text.size()), m_rootAt(rootAt),
          m_details(details)
    {
    }

    // Puts the attribute nodes of the tag's element on m_pending.
    void pushAttributes(const TagRecord &tag)
    {
        if (!tag.attributesSize)
            return;
        const qsizetype at = tag.attributesAt;
        forEachAttribute(m_text + at, tag.attributesSize, [&](const AttributeSpan &a) {
            m_pending.push_back(
                m_builder.attribute(at + a.nameAt, a.nameEnd - a.nameAt, at + a.valueAt, a.valueEnd - a.valueAt));
        });
    }

    TreeBuilder m_builder;
    const char *m_text;
    qsizetype m_size;
    qsizetype m_rootAt;
    ReadDetails *m_details;
    std::vector<Element> m_pending; // attribute nodes and children being collected, innermost last
};

// Reads one document. The tags the reader can reach form one sequence: each
// search for a tag starts just after the previous one, wherever the reading
// rules go back to. So every tag is scanned once, and an element is known by
// its tag's index in the sequence.
//
// An element that never closes makes its parent end early and its grandparent
// read on just after its opening tag, over tags already read. Each element's
// outcome (where its caller goes on, or that it never closes) is worked out
// once and kept; runs of items that are not closing tags are remembered as one
// jump, so reading the same tags again costs one step per closing tag.
class Reader : TextReader
{
public:
    Reader(const QByteArray &text, qsizetype rootAt, ReadDetails *details) : TextReader(text, rootAt, details) {}

    std::unique_ptr<Document> read()
    {
        scanTags();
        std::unique_ptr<Document> doc = readRoot();
        if (m_details) {
            m_details->tags = std::move(m_tags);
            m_details->rootAt = m_count ? qsizetype(m_details->tags[0].start) : -1;
            m_details->tagsEnd = m_tagsEnd;
            m_details->tooDeepAt = m_tooDeepAt >= 0 ? qsizetype(m_details->tags[size_t(m_tooDeepAt)].start) : -1;
        }
        return doc;
    }

private:
    static constexpr int kUnknown = -1, kFailed = -2;

    void scanTags()
    {
        m_tags.reserve(size_t(std::min<qsizetype>(m_size - m_rootAt, 1 << 20) / 16));
        qsizetype from = m_rootAt;
        TagRecord tag;
        while (scanTagInto(m_text, from, m_size, tag, &m_tagsEnd)) {
            m_tags.push_back(tag);
            from = tag.next;
        }
        m_count = int(m_tags.size());
        m_result.assign(size_t(m_count), kUnknown);
        m_reached.assign(size_t(m_count), 0);
        m_jumpEnd.assign(size_t(m_count), kUnknown);
        m_jumpMax.assign(size_t(m_count), 0);
        m_readToEnd.assign(size_t(m_count), -1);
    }

    std::unique_ptr<Document> readRoot()
    {
        if (m_count == 0) {
            if (m_details)
                m_details->readEnd = m_size;
            return m_builder.fail({ReadProblem::NoElement});
        }
        const bool ok = solve(0, 1);
        if (m_tooDeepAt >= 0) {
            if (m_details)
                m_details->readEnd = m_size;
            return m_builder.fail({ReadProblem::TooDeep, m_tags[size_t(m_tooDeepAt)].start});
        }
        if (!ok) {
            if (m_details)
                m_details->readEnd = m_size;
            return whyRootFails();
        }
        if (m_details)
            m_details->readEnd = m_tags[size_t(m_result[0] - 1)].next;
        const Element root = build(0);
        return m_builder.finish(root);
    }

    // depth: the level the reading rules would build s at (the root is 1).
    bool solve(int s, int depth)
    {
        if (m_result[size_t(s)] != kUnknown) {
            if (depth + m_reached[size_t(s)] - 1 > kMaxNesting)
                return tooDeep(s);
            return m_result[size_t(s)] != kFailed;
        }
        if (depth > kMaxNesting)
            return tooDeep(s);
        const TagRecord &tag = m_tags[size_t(s)];
        if (tag.selfClosing) {
            m_result[size_t(s)] = s + 1;
            m_reached[size_t(s)] = 1;
            return true;
        }
        int maxReached = 0;
        int result = kFailed;
        const size_t hops = m_hops.size();
        int joined = -1, beforeJoining = 0;
        for (int j = s + 1; j < m_count;) {
            if (const int d = m_readToEnd[size_t(j)]; d >= 0) {
                // The tags from here were read to the end before, under another
                // name: look this one up instead of reading them again.
                int closer = 0, before = 0;
                const bool found = findCloser(d, nameKey(tag), &closer, &before);
                if (depth + before > kMaxNesting)
                    return tooDeep(j);
                beforeJoining = maxReached;
                maxReached = std::max(maxReached, before);
                if (found)
                    result = closer + 1;
                else
                    joined = d;
                break;
            }
            const TagRecord &item = m_tags[size_t(j)];
            if (!item.closing) {
                int reached = 0;
                const int end = jump(j, depth + 1, &reached);
                if (m_tooDeepAt >= 0)
                    return false;
                maxReached = std::max(maxReached, reached);
                if (end < m_count && !m_tags[size_t(end)].closing && m_readToEnd[size_t(end)] < 0) {
                    result = end + 1; // a child that never closes ends this element
                    break;
                }
                j = end;
                continue;
            }
            if (sameName(m_text, item, tag)) {
                result = j + 1;
                break;
            }
            // A closing tag of another name starts an element of that name.
            m_hops.push_back({j, maxReached});
            const bool ok = solve(j, depth + 1);
            if (m_tooDeepAt >= 0)
                return false;
            maxReached = std::max(maxReached, m_reached[size_t(j)]);
            if (!ok) {
                result = j + 1;
                break;
            }
            j = m_result[size_t(j)];
        }
        if (result == kFailed && s + 1 < m_count)
            rememberReadToEnd(s + 1, hops, joined, beforeJoining, maxReached);
        m_hops.resize(hops);
        m_result[size_t(s)] = result;
        m_reached[size_t(s)] = 1 + maxReached;
        return result != kFailed;
    }

    // Follows the items from j, each over its whole element, up to the first
    // closing tag, the end of the tags, an element that never closes (which is
    // where it stops then) or tags that were read to the end before. Every item
    // on the way remembers where that is. maxReached: the deepest nesting that
    // the items went through.
    int jump(int j, int depth, int *maxReached)
    {
        const size_t base = m_path.size();
        int x = j, end = 0, tail = 0;
        for (;;) {
            if (x >= m_count || m_tags[size_t(x)].closing || (x != j && m_readToEnd[size_t(x)] >= 0)) {
                end = x;
                break;
            }
            if (m_jumpEnd[size_t(x)] != kUnknown) {
                end = m_jumpEnd[size_t(x)];
                tail = m_jumpMax[size_t(x)];
                if (depth + tail - 1 > kMaxNesting) {
                    m_path.resize(base);
                    return tooDeep(x);
                }
                break;
            }
            const bool ok = solve(x, depth);
            if (m_tooDeepAt >= 0) {
                m_path.resize(base);
                return 0;
            }
            if (!ok) {
                end = x;
                tail = m_reached[size_t(x)];
                break;
            }
            m_path.push_back(x);
            x = m_result[size_t(x)];
        }
        for (size_t i = m_path.size(); i-- > base;) {
            const int p = m_path[i];
            tail = std::max(tail, m_reached[size_t(p)]);
            m_jumpEnd[size_t(p)] = end;
            m_jumpMax[size_t(p)] = tail;
        }
        m_path.resize(base);
        *maxReached = tail;
        return end;
    }

    std::string_view nameKey(const TagRecord &tag) const { return {m_text + tag.nameAt, tag.nameSize}; }

    // The tags from start were read to the end of the text without a closing tag
    // of the reading element's name: keep the first closing tag of every other
    // name on the way, so that the elements around it, which read the same tags
    // next, find where they stop at once.
    void rememberReadToEnd(int start, size_t hops, int joined, int beforeJoining, int total)
    {
        ReadToEnd r;
        r.next = joined;
        r.beforeNext = beforeJoining;
        r.total = total;
        for (size_t i = hops; i < m_hops.size(); ++i)
            r.closers.emplace(nameKey(m_tags[size_t(m_hops[i].tag)]), m_hops[i]);
        m_readToEnd[size_t(start)] = int(m_readToEndList.size());
        m_readToEndList.push_back(std::move(r));
    }

    bool findCloser(int d, std::string_view name, int *closer, int *before) const
    {
        const int total = m_readToEndList[size_t(d)].total;
        int acc = 0;
        for (; d >= 0; d = m_readToEndList[size_t(d)].next) {
            const ReadToEnd &r = m_readToEndList[size_t(d)];
            if (const auto it = r.closers.find(name); it != r.closers.end()) {
                *closer = it->second.tag;
                *before = std::max(acc, it->second.before);
                return true;
            }
            acc = std::max(acc, r.beforeNext);
        }
        *before = total;
        return false;
    }

    bool tooDeep(int s)
    {
        if (m_tooDeepAt < 0)
            m_tooDeepAt = s;
        return false;
    }

    qsizetype tagStart(int k) const { return k < m_count ? qsizetype(m_tags[size_t(k)].start) : m_tagsEnd; }

    // The element that tag s opens, which is known to close.
    Element build(int s)
    {
        TagRecord &tag = m_tags[size_t(s)];
        tag.inTree = true;
        Element element = m_builder.tag(tag.nameAt, tag.nameSize, tag.start);
        const size_t base = m_pending.size();
        pushAttributes(tag);
        if (!tag.selfClosing) {
            const int stop = m_result[size_t(s)] - 1;
            if (s + 1 == stop)
                m_builder.setContent(element, tag.next, tagStart(s + 1) - tag.next);
            for (int j = s + 1; j < stop; j = m_result[size_t(j)]) {
                const Element child = build(j);
                m_pending.push_back(child);
            }
        }
        m_builder.setChildren(element, m_pending.data() + base, int(m_pending.size() - base));
        m_pending.resize(base);
        return element;
    }

    // The root never closes: name the innermost element that the author left
    // open, not the root.
    std::unique_ptr<Document> whyRootFails()
    {
        const std::vector<NestingProblem> problems = nestingProblems(m_builder.text(), m_tags);
        const auto unclosed = std::find_if(problems.begin(), problems.end(),
                                           [](const NestingProblem &p) { return p.kind == NestingProblem::Unclosed; });
        // The tags ran out early: an unfinished tag hides the rest.
        if (unclosed != problems.end() && unclosed->other < 0 && m_tagsEnd < m_size)
            return m_builder.fail(incompleteTagProblem(m_builder.text(), m_tagsEnd));
        int culprit = 0; // the root, when nothing else is wrong
        ReadProblem::Code code = ReadProblem::Unclosed;
        if (unclosed != problems.end()) {
            culprit = unclosed->tag;
        } else if (!problems.empty()) {
            culprit = problems.front().tag;
            code = ReadProblem::Stray;
        }
        const TagRecord &t = m_tags[size_t(culprit)];
        return m_builder.fail({code, t.start, QByteArray(m_text + t.nameAt, t.nameSize)});
    }

    std::vector<TagRecord> m_tags;
    int m_count = 0;
    qsizetype m_tagsEnd = 0;
    // Per tag: where its caller goes on (kUnknown, kFailed: never closes), the
    // levels of nesting its build goes through, and the jump over the items from it.
    std::vector<int> m_result, m_reached, m_jumpEnd, m_jumpMax;
    std::vector<int> m_path;       // items of the jumps being followed, a stack across levels
    struct Hop
    {
        int tag;    // a closing tag of another name, read as an element
        int before; // the deepest nesting of the items before it
    };
    std::vector<Hop> m_hops;       // of the elements being read, a stack across levels
    struct ReadToEnd
    {
        std::unordered_map<std::string_view, Hop> closers; // the first of each name
        int next = -1;      // tags read to the end before, which these went on into
        int beforeNext = 0; // the deepest nesting before them
        int total = 0;      // the deepest nesting of all
    };
    std::vector<int> m_readToEnd;  // per tag: the reading to the end that started there, or -1
    std::vector<ReadToEnd> m_readToEndList;
    int m_tooDeepAt = -1;
};

// Reads a document in one pass as long as every element closes: the reading
// rules then come down to a stack of open elements, each closed by a closing tag
// of exactly its name, anything else opening an element. Only when the text
// ends with elements still open do the rules go back and read tags again; then
// this reader gives up and Reader takes over.
class OnePassReader : TextReader
{
public:
    static constexpr size_t kGiveUpDepth = 100;

    OnePassReader(const QByteArray &text, qsizetype rootAt, ReadDetails *details)
        : TextReader(text, rootAt, details)
    {
    }

    // The document, or null when some element never closes.
    std::unique_ptr<Document> read()
    {
        TagRecord tag;
        qsizetype lt = 0;
        qsizetype from = m_rootAt;
        bool root = true;
        while (root || !m_open.empty()) {
            if (!scanTagInto(m_text, from, m_size, tag, &lt)) {
                if (!root)
                    return nullptr;
                if (m_details)
                    m_details->tagsEnd = m_details->readEnd = lt;
                return m_builder.fail({ReadProblem::NoElement});
            }
            from = tag.next;
            // The root is an element whatever its tag looks like.
            if (!root && tag.closing && sameName(m_text, tag, m_open.back().nameAt, m_open.back().nameSize)) {
                close(tag);
                continue;
            }
            root = false;
            // Forms do not nest this deep unless something is left open.
            if (m_open.size() >= kGiveUpDepth)
                return nullptr;
            record(tag, true);
            open(tag);
        }
        if (m_details) {
            m_details->readEnd = from;
            // What follows the root is never read, but its author may want to know.
            while (scanTagInto(m_text, from, m_size, tag, &lt)) {
                record(tag, false);
                from = tag.next;
            }
            m_details->tagsEnd = lt;
            m_details->rootAt = m_details->tags.front().start;
        }
        return m_builder.finish(m_root);
    }

private:
    struct Open
    {
        Element element;
        quint32 nameAt, nameSize, next;
        quint32 base, attributesEnd; // its children in m_pending
    };

    void record(TagRecord tag, bool inTree)
    {
        if (m_details) {
            tag.inTree = inTree;
            m_details->tags.push_back(tag);
        }
    }

    void open(const TagRecord &tag)
    {
        Open o{m_builder.tag(tag.nameAt, tag.nameSize, tag.start), tag.nameAt, tag.nameSize, tag.next,
               quint32(m_pending.size()), 0};
        pushAttributes(tag);
        o.attributesEnd = quint32(m_pending.size());
        if (!tag.selfClosing) {
            m_open.push_back(o);
            return;
        }
        m_builder.setChildren(o.element, m_pending.data() + o.base, int(m_pending.size() - o.base));
        m_pending.resize(o.base);
        done(o.element);
    }

    void close(const TagRecord &closing)
    {
        record(closing, false);
        Open &o = m_open.back();
        if (m_pending.size() == o.attributesEnd)
            m_builder.setContent(o.element, o.next, qsizetype(closing.start) - qsizetype(o.next));
        m_builder.setChildren(o.element, m_pending.data() + o.base, int(m_pending.size() - o.base));
        m_pending.resize(o.base);
        const Element element = o.element;
        m_open.pop_back();
        done(element);
    }

    void done(const Element &element)
    {
        if (m_open.empty())
            m_root = element;
        else
            m_pending.push_back(element);
    }

    std::vector<Open> m_open;
    Element m_root;
};

int levelsOf(const QByteArray &name)
{
    for (const NestingWeight &w : kNestingWeights) {
        if (name == w.name)
            return w.levels;
    }
    return 1;
}

// The first element, in document order, whose weighted level is over the limit.
// The tree is at most kMaxNesting deep, so recursion is safe.
const Element *overWeight(const Element *e, int above)
{
    if (e->isAttribute())
        return nullptr;
    const int level = above + levelsOf(e->name());
    if (level > kMaxNesting)
        return e;
    for (int i = 0; i < e->childCount(); ++i) {
        if (const Element *x = overWeight(e->child(i), level))
            return x;
    }
    return nullptr;
}

std::unique_ptr<Document> weighed(std::unique_ptr<Document> doc, ReadDetails *details)
{
    if (!doc->root())
        return doc;
    const Element *deep = overWeight(doc->root(), 0);
    if (!deep)
        return doc;
    const qsizetype at = deep->offset();
    if (details) {
        details->tooDeepAt = at;
        details->readEnd = doc->text().size();
        for (TagRecord &t : details->tags)
            t.inTree = false;
    }
    return std::make_unique<Document>(doc->text(), ReadProblem{ReadProblem::TooDeep, at});
}

std::unique_ptr<Document> readFrom(const QByteArray &text, qsizetype rootAt, ReadDetails *details)
{
    if (text.size() > kMaxTextSize) {
        TreeBuilder builder(QByteArray{});
        return builder.fail({ReadProblem::TooLarge});
    }
    if (details)
        *details = ReadDetails();
    if (std::unique_ptr<Document> doc = OnePassReader(text, rootAt, details).read())
        return weighed(std::move(doc), details);
    if (details)
        *details = ReadDetails();
    return weighed(Reader(text, rootAt, details).read(), details);
}

} // namespace

QString tooDeepText(int line)
{
    QString text = QStringLiteral("elements nested deeper than %1 levels").arg(kMaxNesting);
    if (line > 0)
        text += QStringLiteral(" on line %1").arg(line);
    QStringList weights;
    for (const NestingWeight &w : kNestingWeights)
        weights << QStringLiteral("a <%1> as %2").arg(QLatin1String(w.name)).arg(w.levels);
    return text + QStringLiteral(" (counting %1)").arg(weights.join(QStringLiteral(", ")));
}

std::vector<NestingProblem> nestingProblems(const QByteArray &text, const std::vector<TagRecord> &tags,
                                            int *rootClose)
{
    std::vector<NestingProblem> out;
    if (rootClose)
        *rootClose = -1;
    std::vector<int> open;
    std::unordered_map<std::string_view, int> openNames; // how many of each name are open
    auto key = [&](int i) {
        const TagRecord &t = tags[size_t(i)];
        return std::string_view(text.constData() + t.nameAt, t.nameSize);
    };
    auto push = [&](int i) {
        open.push_back(i);
        ++openNames[key(i)];
    };
    auto pop = [&] {
        --openNames[key(open.back())];
        open.pop_back();
    };
    const int count = int(tags.size());
    for (int j = 0; j < count; ++j) {
        const TagRecord &t = tags[size_t(j)];
        // The root is an element whatever its tag looks like.
        if (j == 0 || !t.closing) {
            if (!t.selfClosing) {
                push(j);
            } else if (j == 0) {
                if (rootClose)
                    *rootClose = 0;
                break;
            }
            continue;
        }
        const auto found = openNames.find(key(j));
        if (found == openNames.end() || found->second == 0) {
            out.push_back({NestingProblem::Stray, j, open.empty() ? -1 : open.back()});
            continue;
        }
        while (key(open.back()) != key(j)) {
            out.push_back({NestingProblem::Unclosed, open.back(), j});
            pop();
        }
        pop();
        if (open.empty()) {
            if (rootClose)
                *rootClose = j;
            break; // the root is closed: nothing after it is read
        }
    }
    while (!open.empty()) {
        out.push_back({NestingProblem::Unclosed, open.back(), -1});
        pop();
    }
    return out;
}

std::unique_ptr<Document> intendedDocument(const QByteArray &text, const std::vector<TagRecord> &tags, int last)
{
    if (tags.empty())
        return nullptr;
    TreeBuilder builder(text);
    const char *s = builder.text().constData();
    struct Open
    {
        Element element;
        int tag;
        size_t base, attributesEnd; // its attribute nodes, then its children, in pending
    };
    std::vector<Open> open;
    std::vector<Element> pending;
    std::unordered_map<std::string_view, int> openNames;
    auto key = [&](int i) { return std::string_view(s + tags[size_t(i)].nameAt, tags[size_t(i)].nameSize); };
    auto begin = [&](int j) {
        const TagRecord &t = tags[size_t(j)];
        Open o{builder.tag(t.nameAt, t.nameSize, t.start), j, pending.size(), 0};
        if (t.attributesSize) {
            const qsizetype at = t.attributesAt;
            forEachAttribute(s + at, t.attributesSize, [&](const AttributeSpan &a) {
                pending.push_back(
                    builder.attribute(at + a.nameAt, a.nameEnd - a.nameAt, at + a.valueAt, a.valueEnd - a.valueAt));
            });
        }
        o.attributesEnd = pending.size();
        return o;
    };
    // Ends the elements open above level, innermost last in open: each keeps its
    // attributes, and its children follow it in the element around them.
    auto endLeftOpen = [&](size_t level) {
        if (level >= open.size())
            return;
        std::vector<Element> flat;
        for (size_t i = level; i < open.size(); ++i) {
            Open &o = open[i];
            builder.setChildren(o.element, pending.data() + o.base, int(o.attributesEnd - o.base));
            const size_t childrenEnd = i + 1 < open.size() ? open[i + 1].base : pending.size();
            flat.push_back(o.element);
            flat.insert(flat.end(), pending.begin() + qsizetype(o.attributesEnd),
                        pending.begin() + qsizetype(childrenEnd));
            --openNames[key(o.tag)];
        }
        pending.resize(open[level].base);
        pending.insert(pending.end(), flat.begin(), flat.end());
        open.resize(level);
    };
    // closing: the index of the tag that closes it, or -1. Only a closing tag
    // right after the opening one leaves a content.
    auto finish = [&](Open &o, int closing) {
        if (closing == o.tag + 1)
            builder.setContent(o.element, tags[size_t(o.tag)].next,
                               qsizetype(tags[size_t(closing)].start) - qsizetype(tags[size_t(o.tag)].next));
        builder.setChildren(o.element, pending.data() + o.base, int(pending.size() - o.base));
        pending.resize(o.base);
    };
    const int end = std::min(last, int(tags.size()) - 1);
    for (int j = 0; j <= end; ++j) {
        const TagRecord &t = tags[size_t(j)];
        if (j == 0 || !t.closing) {
            Open o = begin(j);
            if (t.selfClosing) {
                finish(o, -1);
                if (j == 0)
                    return builder.finish(o.element);
                pending.push_back(o.element);
            } else {
                if (open.size() >= size_t(kMaxNesting))
                    return nullptr;
                open.push_back(o);
                ++openNames[key(j)];
            }
            continue;
        }
        const auto found = openNames.find(key(j));
        if (found == openNames.end() || found->second == 0)
            continue;
        size_t m = open.size() - 1;
        while (key(open[m].tag) != key(j))
            --m;
        endLeftOpen(m + 1);
        Open o = open.back();
        open.pop_back();
        --openNames[key(o.tag)];
        finish(o, j);
        if (open.empty())
            return builder.finish(o.element);
        pending.push_back(o.element);
    }
    endLeftOpen(1);
    finish(open.front(), -1);
    return builder.finish(open.front().element);
}

std::unique_ptr<Document> parseDocumentText(const QByteArray &text, ReadDetails *details)
{
    return readFrom(text, 0, details);
}

std::unique_ptr<Document> parseDocument(const QByteArray &text, QString *error, ReadDetails *details)
{
    const char *data = text.constData();
    const qsizetype size = text.size();
    for (qsizetype from = 0;;) {
        const void *hit = size > from ? std::memchr(data + from, '<', size_t(size - from)) : nullptr;
        if (!hit) {
            if (details)
                *details = ReadDetails();
            if (error)
                *error = problemText({ReadProblem::NoElement}, ProblemWording::StartUp, {});
            return nullptr;
        }
        const qsizetype pos = static_cast<const char *>(hit) - data;
        if (pos + 1 < size && data[pos + 1] == '?') {
            from = pos + 1;
            continue;
        }
        auto doc = readFrom(text, pos, details);
        if (error)
            *error = doc->error();
        return doc;
    }
}
