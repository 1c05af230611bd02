#include "markup/Document.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <unordered_map>

namespace {

// First '<' outside a double-quoted run, searching [from, end); end if none.
qsizetype findTagStart(const char *text, qsizetype from, qsizetype end)
{
    bool quoted = false;
    for (qsizetype i = from; i < end; ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == '<' && !quoted)
            return i;
    }
    return end;
}

qsizetype skipBlanks(const char *text, qsizetype i, qsizetype end)
{
    while (i < end && isBlank(text[i]))
        ++i;
    return i;
}

int lineAt(const char *text, qsizetype pos)
{
    int line = 1;
    for (qsizetype i = 0; i < pos; ++i)
        line += text[i] == '\n';
    return line;
}

// One shared copy of each distinct name: forms repeat a handful of names many times.
class Names
{
public:
    QByteArray get(const char *data, qsizetype size)
    {
        const std::string_view key(data, size_t(size));
        auto it = m_names.find(key);
        if (it != m_names.end())
            return it->second;
        QByteArray name(data, size);
        m_names.emplace(std::string_view(name.constData(), size_t(size)), name);
        return name;
    }

private:
    std::unordered_map<std::string_view, QByteArray> m_names;
};

// Finds the tag's parts without copying anything: the parser asks for many tags
// and copies only what ends up in the tree.
bool scanTagInto(const char *text, qsizetype from, qsizetype end, ScannedTag &tag)
{
    const qsizetype lt = findTagStart(text, from, end);
    if (lt >= end)
        return false;
    tag = ScannedTag();
    tag.start = lt;
    qsizetype p = skipBlanks(text, lt + 1, end);
    if (p >= end)
        return false;
    if (text[p] == '/') {
        tag.closing = true;
        p = skipBlanks(text, p + 1, end);
        if (p >= end)
            return false;
    }
    if (text[p] == '>')
        return false;
    qsizetype q = p + 1;
    while (q < end && !isBlank(text[q]) && text[q] != '>')
        ++q;
    if (q >= end)
        return false;
    qsizetype nameEnd = q;
    if (text[q - 1] == '/' && q - 1 > p)
        --nameEnd;
    tag.nameAt = p;
    tag.nameSize = nameEnd - p;

    const qsizetype attrStart = skipBlanks(text, q, end);
    if (attrStart >= end)
        return false;
    qsizetype gt = attrStart;
    bool quoted = false;
    for (; gt < end; ++gt) {
        if (text[gt] == '"')
            quoted = !quoted;
        else if (text[gt] == '>' && !quoted)
            break;
    }
    if (gt >= end)
        return false;
    tag.next = gt + 1;

    qsizetype k = gt - 1;
    while (k > lt && (isBlank(text[k]) || text[k] == '>'))
        --k;
    qsizetype attrEnd = k + 1;
    if (text[k] == '/') {
        tag.selfClosing = true;
        attrEnd = k;
    }
    tag.attributesAt = attrStart;
    tag.attributesSize = attrEnd - attrStart >= 2 ? attrEnd - attrStart : 0;
    return true;
}

template<typename Sink>
void attributesIn(const char *s, qsizetype n, Names &names, Sink &&append)
{
    qsizetype i = 0;
    for (;;) {
        i = skipBlanks(s, i, n);
        if (i >= n)
            break;
        const qsizetype nameStart = i++;
        while (i < n && !isBlank(s[i]) && s[i] != '=')
            ++i;
        QByteArray name = names.get(s + nameStart, i - nameStart);
        const char *eq = static_cast<const char *>(std::memchr(s + i, '=', size_t(n - i)));
        if (!eq) {
            append(std::make_unique<Element>(std::move(name), true, QByteArray("")));
            break;
        }
        i = skipBlanks(s, (eq - s) + 1, n);
        QByteArray value;
        if (i < n && s[i] == '"') {
            const qsizetype vs = i + 1;
            const char *close = static_cast<const char *>(std::memchr(s + vs, '"', size_t(n - vs)));
            const qsizetype ve = close ? close - s : n;
            value = QByteArray(s + vs, ve - vs);
            i = close ? ve + 1 : n;
        } else {
            const qsizetype vs = i;
            while (i < n && s[i] != ' ')
                ++i;
            value = QByteArray(s + vs, i - vs);
            if (i < n)
                ++i;
        }
        if (value.isNull())
            value = QByteArray("");
        append(std::make_unique<Element>(std::move(name), true, std::move(value)));
    }
}

// Builds elements. A child that never closes makes its parent end early and its
// caller rescan the same tags, so the same element can be asked for again and
// again; failures and discarded successes are remembered by position so that each
// tag is built once, instead of a number of times that grows exponentially with
// the depth of unclosed nesting.
class ElementParser
{
public:
    ElementParser(const char *text, qsizetype end) : m_text(text), m_end(end) {}

    // reached: levels of nesting that the build of this element went through.
    std::unique_ptr<Element> parse(ScannedTag *tag, int *reached)
    {
        *reached = 1;
        if (!tag)
            return nullptr;
        DepthGuard guard(m_depth);
        if (auto failed = m_failed.empty() ? m_failed.end() : m_failed.find(tag->start); failed != m_failed.end()) {
            *reached = failed->second;
            checkDepth(tag->start, *reached);
            return nullptr;
        }
        if (auto kept = m_kept.empty() ? m_kept.end() : m_kept.find(tag->start); kept != m_kept.end()) {
            *reached = kept->second.reached;
            tag->resume = kept->second.resume;
            std::unique_ptr<Element> element = std::move(kept->second.element);
            m_kept.erase(kept);
            if (!checkDepth(tag->start, *reached))
                return nullptr;
            return element;
        }
        if (!checkDepth(tag->start, 1))
            return nullptr;

        auto element = std::make_unique<Element>(m_names.get(m_text + tag->nameAt, tag->nameSize), false);
        if (tag->attributesSize) {
            attributesIn(m_text + tag->attributesAt, tag->attributesSize, m_names,
                         [&](std::unique_ptr<Element> e) { element->appendChild(std::move(e)); });
        }
        if (tag->selfClosing) {
            tag->resume = tag->next;
            return element;
        }

        const int attributes = element->childCount();
        const size_t base = m_collected.size();
        qsizetype currentNext = tag->next;
        qsizetype endNext = 0;
        for (;;) {
            ScannedTag scanned;
            ScannedTag *t = &scanned;
            if (!scanTagInto(m_text, currentNext, m_end, scanned)) {
                fail(tag->start, *reached, *element, attributes, base);
                return nullptr;
            }
            if (t->closing && t->nameSize == tag->nameSize
                && std::memcmp(m_text + t->nameAt, m_text + tag->nameAt, size_t(t->nameSize)) == 0) {
                endNext = t->next;
                break;
            }
            int childReached = 0;
            std::unique_ptr<Element> child = parse(t, &childReached);
            *reached = std::max(*reached, childReached + 1);
            if (tooDeep())
                return nullptr;
            if (!child) {
                endNext = t->next;
                break;
            }
            element->appendChild(std::move(child));
            m_collected.push_back({t->start, t->resume, childReached});
            currentNext = t->resume;
        }
        const bool hasChild = m_collected.size() > base;
        m_collected.resize(base);
        if (!hasChild) {
            const qsizetype stop = findTagStart(m_text, tag->next, m_end);
            element->setContent(QByteArray(m_text + tag->next, stop - tag->next));
        }
        tag->resume = endNext;
        return element;
    }

    bool tooDeep() const { return m_tooDeepAt >= 0; }
    qsizetype tooDeepAt() const { return m_tooDeepAt; }

private:
    struct DepthGuard
    {
        explicit DepthGuard(int &d) : depth(d) { ++depth; }
        ~DepthGuard() { --depth; }
        int &depth;
    };
    struct Kept
    {
        std::unique_ptr<Element> element;
        qsizetype resume;
        int reached;
    };

    bool checkDepth(qsizetype at, int reached)
    {
        if (m_depth + reached - 1 > kMaxNesting && !tooDeep())
            m_tooDeepAt = at;
        return !tooDeep();
    }

    // The element never closes: remember that, and keep its children for the
    // rescans that follow.
    void fail(qsizetype start, int reached, Element &element, int attributes,
              size_t base)
    {
        m_failed.emplace(start, reached);
        for (size_t i = base; i < m_collected.size(); ++i) {
            const Collected &c = m_collected[i];
            m_kept[c.start] = Kept{element.takeChild(attributes + int(i - base)), c.resume, c.reached};
        }
        m_collected.resize(base);
    }

    const char *m_text;
    qsizetype m_end;
    int m_depth = 0;
    qsizetype m_tooDeepAt = -1;
    std::unordered_map<qsizetype, int> m_failed;
    std::unordered_map<qsizetype, Kept> m_kept;
    struct Collected
    {
        qsizetype start, resume;
        int reached;
    };
    std::vector<Collected> m_collected; // children being collected, a stack across levels
    Names m_names;
};

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Reads a whole file; on failure returns nothing and sets err.
std::optional<QByteArray> readWholeFile(const QByteArray &path, int *err)
{
    if (path.contains('\0')) {
        *err = ENOENT;
        return std::nullopt;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *err = errno;
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        *err = EISDIR;
        return std::nullopt;
    }
    QByteArray data;
    if (st.st_size > 0)
        data.reserve(qsizetype(st.st_size) + 1);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *err = errno;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

} // namespace

std::optional<ScannedTag> scanTag(const char *text, qsizetype from, qsizetype end)
{
    ScannedTag tag;
    if (!scanTagInto(text, from, end, tag))
        return std::nullopt;
    tag.name = QByteArray(text + tag.nameAt, tag.nameSize);
    if (tag.attributesSize)
        tag.attributeText = QByteArray(text + tag.attributesAt, tag.attributesSize);
    return tag;
}

std::vector<std::unique_ptr<Element>> parseAttributes(const QByteArray &attributeText)
{
    std::vector<std::unique_ptr<Element>> nodes;
    Names names;
    attributesIn(attributeText.constData(), attributeText.size(), names,
                 [&](std::unique_ptr<Element> e) { nodes.push_back(std::move(e)); });
    return nodes;
}

std::unique_ptr<Element> parseElement(ScannedTag *tag, const char *text, qsizetype end)
{
    ElementParser parser(text, end);
    int reached = 0;
    return parser.parse(tag, &reached);
}

std::unique_ptr<Document> parseDocumentText(const QByteArray &text, int firstLine)
{
    const char *data = text.constData();
    const qsizetype end = text.size();
    std::optional<ScannedTag> rootTag = scanTag(data, 0, end);
    if (!rootTag)
        return std::make_unique<Document>(nullptr, QStringLiteral("no element found"));
    ElementParser parser(data, end);
    int reached = 0;
    std::unique_ptr<Element> root = parser.parse(&*rootTag, &reached);
    if (root)
        return std::make_unique<Document>(std::move(root));
    QString why;
    if (parser.tooDeep()) {
        why = QStringLiteral("elements nested deeper than %1 levels (line %2)")
                  .arg(kMaxNesting)
                  .arg(firstLine - 1 + lineAt(data, parser.tooDeepAt()));
    } else {
        why = QStringLiteral("element <%1> opened on line %2 is never closed")
                  .arg(QString::fromUtf8(rootTag->name))
                  .arg(firstLine - 1 + lineAt(data, rootTag->start));
    }
    return std::make_unique<Document>(nullptr, why);
}

std::unique_ptr<Document> loadDocument(const QByteArray &path, QString *error)
{
    int err = 0;
    std::optional<QByteArray> text = readWholeFile(path, &err);
    if (!text) {
        if (error)
            *error = systemError(err);
        return nullptr;
    }
    const char *data = text->constData();
    const qsizetype size = text->size();
    qsizetype from = 0;
    for (;;) {
        const void *hit = std::memchr(data + from, '<', size_t(size - from));
        if (!hit) {
            if (error)
                *error = QStringLiteral("no element found");
            return nullptr;
        }
        const qsizetype pos = static_cast<const char *>(hit) - data;
        if (pos + 1 < size && data[pos + 1] == '?') {
            from = pos + 1;
            continue;
        }
        const int firstLine = lineAt(data, pos);
        auto doc = parseDocumentText(text->mid(pos), firstLine);
        if (error)
            *error = doc->error();
        return doc;
    }
}
