#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <vector>

// What a terminal makes of one line of output: programs redraw a progress line
// with '\r', erase with ESC[K and colour with ESC[...m. Each line is drawn on its
// own, from its first byte (styles do not carry over a line end); the line end
// itself ('\n') is not part of it.

struct TerminalStyle
{
    enum Flag : quint8 { Bold = 1, Faint = 2, Italic = 4, Underline = 8, Inverse = 16 };
    // A colour: kDefault, a palette index 0..255, or kRgb | 0xRRGGBB.
    static constexpr quint32 kDefault = 0xFFFFFFFFu;
    static constexpr quint32 kRgb = 0x1000000u;

    quint32 foreground = kDefault;
    quint32 background = kDefault;
    quint8 flags = 0;

    bool operator==(const TerminalStyle &) const = default;
};

// A part of a drawn line in one style other than the default (UTF-16 units).
struct StyledRun
{
    int start = 0;
    int length = 0;
    TerminalStyle style;
    bool operator==(const StyledRun &) const = default;
};

struct StyledLine
{
    QString text;
    QList<StyledRun> runs; // in order; parts not covered are in the default style
};

// Reads escape and control sequences byte by byte, as xterm does: CSI (ESC [),
// OSC (ESC ], ended by BEL or ESC \), DCS, SOS, PM and APC strings (ended by
// ESC \), and the two-byte escapes. CAN and SUB cancel a sequence.
class EscapeReader
{
public:
    enum Kind {
        Text,     // a byte drawn as text
        Control,  // a C0 control or DEL, outside a sequence or within one
        Csi,      // the last byte of a CSI sequence: see parameters() and final()
        Swallowed // a byte of some other sequence
    };
    Kind read(char c);
    bool inText() const { return m_state == Ground; }
    // Parameter and intermediate bytes of the CSI just read (empty past a bound).
    const QByteArray &parameters() const { return m_params; }
    char final() const { return m_final; }

private:
    enum State : quint8 { Ground, Escape, EscapeMore, Command, String, StringEscape };
    State m_state = Ground;
    bool m_overflow = false;
    char m_final = 0;
    QByteArray m_params;
};

class TerminalLine
{
public:
    // True when bytes draw as they are: no escape and no control but tab.
    static bool drawsAsIs(QByteArrayView bytes);

    // The next bytes of the line; a sequence or character cut at the end waits
    // for its rest.
    void feed(QByteArrayView bytes);
    qint64 fedBytes() const { return m_fed; }
    // The line as drawn so far. final: nothing more comes, a character cut short
    // shows as escaped bytes (see LosslessText.h).
    StyledLine drawn(bool final) const;

private:
    struct Cell
    {
        char32_t ch; // 0: erased
        TerminalStyle style;
    };
    void control(char c);
    void print(QByteArrayView bytes);
    void put(char32_t ch);
    void csi(const QByteArray &parameters, char final);
    void sgr(const QByteArray &parameters);

    EscapeReader m_reader;
    std::vector<Cell> m_cells;
    size_t m_column = 0;
    TerminalStyle m_style;
    QByteArray m_pending; // the start of a UTF-8 sequence
    qint64 m_fed = 0;
};

// The line as a terminal draws it.
StyledLine drawTerminalLine(QByteArrayView bytes);

// bytes without their escape sequences (other controls stay).
QByteArray withoutEscapes(QByteArrayView bytes);
