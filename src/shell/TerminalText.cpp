#include "shell/TerminalText.h"

#include "markup/LosslessText.h"

#include <algorithm>
#include <array>
#include <span>
#include <cstring>

namespace {

constexpr char kEsc = 0x1b;
constexpr char kBel = 0x07;
constexpr char kCan = 0x18;
constexpr char kSub = 0x1a;
// Longer CSI parameters are no SGR anyone sends: the sequence is dropped whole.
constexpr qsizetype kMaxParameters = 256;

bool isControl(uchar c) { return c < 0x20 || c == 0x7f; }

// How many bytes at the end of bytes start a UTF-8 sequence that goes on later.
qsizetype cutSequence(QByteArrayView bytes)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, bytes.size()); ++back) {
        const uchar c = uchar(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const qsizetype need = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
        return c >= 0xC2 && c <= 0xF4 && need > back ? back : 0;
    }
    return 0;
}

} // namespace

EscapeReader::Kind EscapeReader::read(char c)
{
    const uchar u = uchar(c);
    if (c == kCan || c == kSub) {
        const bool inside = m_state != Ground;
        m_state = Ground;
        return inside ? Swallowed : Control;
    }
    // Outside a string, ESC starts a sequence anew and other controls act at once.
    if (m_state != String && m_state != StringEscape) {
        if (c == kEsc) {
            m_state = Escape;
            return Swallowed;
        }
        if (isControl(u))
            return Control;
    }
    switch (m_state) {
    case Ground:
        return Text;
    case Escape:
        if (c == '[') {
            m_state = Command;
            m_params.clear();
            m_overflow = false;
        } else if (c == ']') {
            m_state = String;
        } else if (c == 'P' || c == 'X' || c == '^' || c == '_') {
            m_state = String;
        } else if (u >= 0x20 && u <= 0x2f) {
            m_state = EscapeMore;
        } else {
            m_state = Ground;
        }
        return Swallowed;
    case EscapeMore:
        if (!(u >= 0x20 && u <= 0x2f))
            m_state = Ground;
        return Swallowed;
    case Command:
        if (u >= 0x20 && u <= 0x3f) {
            if (m_params.size() < kMaxParameters)
                m_params += c;
            else
                m_overflow = true;
            return Swallowed;
        }
        m_state = Ground;
        if (u >= 0x40 && u <= 0x7e && !m_overflow) {
            m_final = c;
            return Csi;
        }
        return Swallowed;
    case String:
        // OSC ends with BEL too; the other strings only with ESC \.
        if (c == kEsc)
            m_state = StringEscape;
        else if (c == kBel)
            m_state = Ground;
        return Swallowed;
    case StringEscape:
        if (c == '\\') {
            m_state = Ground;
            return Swallowed;
        }
        // Any other escape ends the string and starts anew.
        m_state = Escape;
        return read(c);
    }
    return Swallowed;
}

bool TerminalLine::drawsAsIs(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (isControl(uchar(c)) && c != '\t')
            return false;
    }
    return true;
}

void TerminalLine::feed(QByteArrayView bytes)
{
    m_fed += bytes.size();
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (m_reader.inText() && !isControl(uchar(bytes[i]))) {
            // A run of text is decoded at once.
            qsizetype j = i + 1;
            while (j < bytes.size() && !isControl(uchar(bytes[j])))
                ++j;
            print(bytes.sliced(i, j - i));
            i = j;
            continue;
        }
        if (!m_pending.isEmpty())
            print({}); // what waited for its rest gets none
        const char c = bytes[i++];
        switch (m_reader.read(c)) {
        case EscapeReader::Text: print(QByteArrayView(&c, 1)); break;
        case EscapeReader::Control: control(c); break;
        case EscapeReader::Csi: csi(m_reader.parameters(), m_reader.final()); break;
        case EscapeReader::Swallowed: break;
        }
    }
}

void TerminalLine::control(char c)
{
    if (c == '\r')
        m_column = 0;
    else if (c == '\b')
        m_column -= m_column > 0;
    else if (c == '\t')
        put(U'\t');
}

void TerminalLine::print(QByteArrayView bytes)
{
    // An empty piece: nothing more comes for what waits.
    const bool flush = bytes.isEmpty();
    QByteArray joined;
    if (!m_pending.isEmpty()) {
        joined = m_pending + bytes;
        bytes = joined;
        m_pending.clear();
    }
    if (const qsizetype cut = flush ? 0 : cutSequence(bytes); cut > 0) {
        m_pending = bytes.last(cut).toByteArray();
        bytes.chop(cut);
    }
    if (bytes.isEmpty())
        return;
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; })) {
        for (const char c : bytes)
            put(char32_t(c));
        return;
    }
    const QString text = textFromBytes(bytes);
    for (qsizetype k = 0; k < text.size(); ++k) {
        char32_t ch = text[k].unicode();
        if (text[k].isHighSurrogate() && k + 1 < text.size() && text[k + 1].isLowSurrogate())
            ch = QChar::surrogateToUcs4(text[k], text[k + 1]), ++k;
        put(ch);
    }
}

void TerminalLine::put(char32_t ch)
{
    if (m_column < m_cells.size())
        m_cells[m_column] = {ch, m_style};
    else {
        m_cells.resize(m_column, {0, {}});
        m_cells.push_back({ch, m_style});
    }
    ++m_column;
}

void TerminalLine::csi(const QByteArray &parameters, char final)
{
    const bool privateForm = !parameters.isEmpty() && uchar(parameters[0]) >= 0x3c;
    const bool intermediates = std::any_of(parameters.begin(), parameters.end(), [](char c) { return uchar(c) < 0x30; });
    if (privateForm || intermediates)
        return;
    if (final == 'm') {
        sgr(parameters);
    } else if (final == 'K') {
        const int how = parameters.isEmpty() ? 0 : parameters.toInt();
        if (how == 0) {
            m_cells.resize(std::min(m_cells.size(), m_column), {0, {}});
        } else if (how == 1) {
            for (size_t k = 0; k <= m_column && k < m_cells.size(); ++k)
                m_cells[k] = {0, {}};
        } else if (how == 2) {
            m_cells.clear();
        }
    }
}

void TerminalLine::sgr(const QByteArray &parameters)
{
    // Groups split by ';', each with its ':' parts; an empty number is 0.
    struct Group
    {
        std::array<int, 6> parts{};
        size_t count = 1;
        int operator[](size_t k) const { return parts[k]; }
        size_t size() const { return count; }
    };
    std::array<Group, 64> list{};
    size_t used = 1;
    for (const char c : parameters) {
        Group &g = list[used - 1];
        if (c == ';') {
            if (used == list.size())
                break;
            ++used;
        } else if (c == ':') {
            g.count += g.count < g.parts.size();
        } else if (c >= '0' && c <= '9') {
            int &v = g.parts[g.count - 1];
            v = std::min(v * 10 + (c - '0'), 9999);
        }
    }
    const std::span<const Group> groups(list.data(), used);
    TerminalStyle &s = m_style;
    for (size_t g = 0; g < groups.size(); ++g) {
        const Group &parts = groups[g];
        const int code = parts[0];
        // An extended colour: 5;n or 2;r;g;b, in its own ':' parts or in the next groups.
        const auto extended = [&]() -> quint32 {
            std::vector<int> rest(parts.parts.begin() + 1, parts.parts.begin() + qsizetype(parts.size()));
            const bool colons = !rest.empty();
            if (!colons) {
                for (size_t k = g + 1; k < groups.size() && rest.size() < 4; ++k)
                    rest.push_back(groups[k][0]);
                if (!rest.empty() && rest[0] == 5 && rest.size() >= 2)
                    g += 2;
                else if (!rest.empty() && rest[0] == 2 && rest.size() >= 4)
                    g += 4;
                else
                    g = groups.size();
            } else if (rest.size() >= 5 && rest[0] == 2) {
                rest.erase(rest.begin() + 1); // 38:2:colour-space:r:g:b
            }
            if (rest.size() >= 2 && rest[0] == 5)
                return quint32(std::clamp(rest[1], 0, 255));
            if (rest.size() >= 4 && rest[0] == 2)
                return TerminalStyle::kRgb | quint32(std::clamp(rest[1], 0, 255)) << 16 |
                       quint32(std::clamp(rest[2], 0, 255)) << 8 | quint32(std::clamp(rest[3], 0, 255));
            return TerminalStyle::kDefault;
        };
        switch (code) {
        case 0: s = {}; break;
        case 1: s.flags |= TerminalStyle::Bold; break;
        case 2: s.flags |= TerminalStyle::Faint; break;
        case 3: s.flags |= TerminalStyle::Italic; break;
        case 4:
            if (parts.size() > 1 && parts[1] == 0)
                s.flags &= ~TerminalStyle::Underline;
            else
                s.flags |= TerminalStyle::Underline;
            break;
        case 7: s.flags |= TerminalStyle::Inverse; break;
        case 22: s.flags &= ~(TerminalStyle::Bold | TerminalStyle::Faint); break;
        case 23: s.flags &= ~TerminalStyle::Italic; break;
        case 24: s.flags &= ~TerminalStyle::Underline; break;
        case 27: s.flags &= ~TerminalStyle::Inverse; break;
        case 38: s.foreground = extended(); break;
        case 39: s.foreground = TerminalStyle::kDefault; break;
        case 48: s.background = extended(); break;
        case 49: s.background = TerminalStyle::kDefault; break;
        default:
            if (code >= 30 && code <= 37)
                s.foreground = quint32(code - 30);
            else if (code >= 40 && code <= 47)
                s.background = quint32(code - 40);
            else if (code >= 90 && code <= 97)
                s.foreground = quint32(code - 90 + 8);
            else if (code >= 100 && code <= 107)
                s.background = quint32(code - 100 + 8);
            break;
        }
    }
}

StyledLine TerminalLine::drawn(bool final) const
{
    if (final && !m_pending.isEmpty()) {
        TerminalLine rest = *this;
        rest.print({});
        return rest.drawn(true);
    }
    StyledLine line;
    size_t end = m_cells.size();
    while (end > 0 && m_cells[end - 1].ch == 0)
        --end;
    line.text.reserve(qsizetype(end));
    const TerminalStyle plain;
    for (size_t k = 0; k < end; ++k) {
        const Cell &cell = m_cells[k];
        const int at = int(line.text.size());
        const char32_t ch = cell.ch ? cell.ch : U' ';
        if (QChar::requiresSurrogates(ch)) {
            line.text += QChar(QChar::highSurrogate(ch));
            line.text += QChar(QChar::lowSurrogate(ch));
        } else {
            line.text += QChar(char16_t(ch));
        }
        const int units = int(line.text.size()) - at;
        if (cell.style == plain)
            continue;
        if (!line.runs.isEmpty() && line.runs.last().style == cell.style && line.runs.last().start + line.runs.last().length == at)
            line.runs.last().length += units;
        else
            line.runs.append({at, units, cell.style});
    }
    return line;
}

StyledLine drawTerminalLine(QByteArrayView bytes)
{
    TerminalLine line;
    line.feed(bytes);
    return line.drawn(true);
}

QByteArray withoutEscapes(QByteArrayView bytes)
{
    if (!std::memchr(bytes.data(), kEsc, size_t(bytes.size())))
        return bytes.toByteArray();
    QByteArray out;
    out.reserve(bytes.size());
    EscapeReader reader;
    for (const char c : bytes) {
        const EscapeReader::Kind kind = reader.read(c);
        if (kind == EscapeReader::Text || kind == EscapeReader::Control)
            out += c;
    }
    return out;
}
