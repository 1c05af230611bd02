#include "markup/Document.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>

// Names and element storage of one document. Forms repeat a handful of names
// many times, so each distinct name is kept once; elements are carved out of
// large blocks, children of one element side by side.
class ElementStore
{
public:
    ElementStore() = default;
    ElementStore(const ElementStore &) = delete;
    ElementStore &operator=(const ElementStore &) = delete;
    ~ElementStore()
    {
        for (Element *block : m_blocks)
            ::operator delete(block);
    }

    const QByteArray *intern(const char *data, qsizetype size)
    {
        quint32 h = 2166136261u;
        for (qsizetype i = 0; i < size; ++i)
            h = (h ^ uchar(data[i])) * 16777619u;
        if ((m_names.size() + 1) * 2 > m_slots.size())
            grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            const int slot = m_slots[i];
            if (slot < 0) {
                m_slots[i] = int(m_names.size());
                m_hashes.push_back(h);
                m_names.emplace_back(data, size);
                return &m_names.back();
            }
            const QByteArray &name = m_names[size_t(slot)];
            if (m_hashes[size_t(slot)] == h && name.size() == size
                && std::memcmp(name.constData(), data, size_t(size)) == 0)
                return &name;
        }
    }

    Element *store(const Element *elements, int count)
    {
        if (size_t(count) > m_left) {
            m_blockSize = std::min<size_t>(m_blockSize * 2, 65536);
            const size_t size = std::max(m_blockSize, size_t(count));
            m_free = static_cast<Element *>(::operator new(size * sizeof(Element)));
            m_blocks.push_back(m_free);
            m_left = size;
        }
        Element *out = m_free;
        std::uninitialized_copy_n(elements, count, out);
        m_free += count;
        m_left -= size_t(count);
        return out;
    }

private:
    void grow()
    {
        const size_t size = std::max<size_t>(64, m_slots.size() * 2);
        m_slots.assign(size, -1);
        for (size_t n = 0; n < m_names.size(); ++n) {
            size_t i = m_hashes[n] & (size - 1);
            while (m_slots[i] >= 0)
                i = (i + 1) & (size - 1);
            m_slots[i] = int(n);
        }
    }

    std::deque<QByteArray> m_names; // a deque: elements keep pointers to the names
    std::vector<quint32> m_hashes;
    std::vector<int> m_slots;
    std::vector<Element *> m_blocks;
    Element *m_free = nullptr;
    size_t m_left = 0;
    size_t m_blockSize = 128;
};

namespace {

inline bool startsCharacter(char c) { return (uchar(c) & 0xC0) != 0x80; }

// Characters that start in [from, to).
qsizetype charactersIn(const char *text, qsizetype from, qsizetype to)
{
    qsizetype n = 0;
    for (qsizetype i = from; i < to; ++i)
        n += startsCharacter(text[i]);
    return n;
}

} // namespace

TextPosition positionIn(const QByteArray &text, qsizetype offset, TextIndex &index)
{
    const char *data = text.constData();
    const qsizetype size = text.size();
    if (index.lineStarts.empty()) {
        index.lineStarts.push_back(0);
        const char *end = data + size;
        for (const char *p = data; (p = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))));)
            index.lineStarts.push_back(++p - data);
        index.charsBefore.reserve(size_t(size / TextIndex::kBlock) + 1);
        quint32 count = 0;
        for (qsizetype b = 0; b <= size; b += TextIndex::kBlock) {
            index.charsBefore.push_back(count);
            count += quint32(charactersIn(data, b, std::min(size, b + TextIndex::kBlock)));
        }
    }
    offset = std::clamp<qsizetype>(offset, 0, size);
    const auto after = std::upper_bound(index.lineStarts.begin(), index.lineStarts.end(), offset);
    const qsizetype start = *(after - 1);
    auto charsBefore = [&](qsizetype at) {
        const qsizetype block = at / TextIndex::kBlock;
        return qsizetype(index.charsBefore[size_t(block)]) + charactersIn(data, block * TextIndex::kBlock, at);
    };
    return {int(after - index.lineStarts.begin()), int(charsBefore(offset) - charsBefore(start) + 1)};
}

Document::Document(QByteArray text, ReadProblem problem) : m_text(std::move(text)), m_problem(std::move(problem))
{
    setProblem(std::move(m_problem));
}

void Document::setProblem(ReadProblem problem)
{
    m_problem = std::move(problem);
    m_error = problemText(m_problem, ProblemWording::StartUp, [this](qsizetype at) { return position(at).line; });
}

Document::~Document() = default;

TreeBuilder::TreeBuilder(const QByteArray &text) : m_document(std::make_unique<Document>(text))
{
    // Elements point into the text: a text that does not own its bytes is copied.
    QByteArray &own = m_document->m_text;
    if (!own.isEmpty() && !own.data_ptr().d_ptr())
        own = QByteArray(own.constData(), own.size());
    m_document->m_store = std::make_unique<ElementStore>();
}

TreeBuilder::~TreeBuilder() = default;

const QByteArray &TreeBuilder::text() const { return m_document->m_text; }

Element TreeBuilder::tag(qsizetype nameAt, qsizetype nameSize, qsizetype offset)
{
    Element e;
    e.m_name = m_document->m_store->intern(text().constData() + nameAt, nameSize);
    e.m_offset = quint32(offset);
    return e;
}

Element TreeBuilder::attribute(qsizetype nameAt, qsizetype nameSize, qsizetype valueAt, qsizetype valueSize)
{
    Element e = tag(nameAt, nameSize, nameAt);
    e.m_flags = Element::kAttribute;
    setContent(e, valueAt, valueSize);
    return e;
}

void TreeBuilder::setContent(Element &element, qsizetype at, qsizetype size) const
{
    element.m_content = text().constData() + at;
    element.m_contentSize = quint32(size);
    element.m_flags |= Element::kHasContent;
}

void TreeBuilder::setChildren(Element &element, const Element *children, int count)
{
    element.m_children = count ? m_document->m_store->store(children, count) : nullptr;
    element.m_childCount = quint32(count);
}

std::unique_ptr<Document> TreeBuilder::finish(const Element &root)
{
    m_document->m_root = m_document->m_store->store(&root, 1);
    return std::move(m_document);
}

std::unique_ptr<Document> TreeBuilder::fail(ReadProblem problem)
{
    m_document->setProblem(std::move(problem));
    return std::move(m_document);
}
