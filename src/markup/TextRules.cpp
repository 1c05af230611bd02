#include "markup/TextRules.h"

#include <algorithm>
#include <cstdint>

std::optional<int> leadingInt(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return std::nullopt;
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = std::min<long long>(v * 10 + (text[i] - '0'), 1LL << 31);
    v = negative ? -v : v;
    return int(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

std::optional<int> leadingDigits(QByteArrayView text, int max)
{
    if (text.isEmpty() || text[0] < '0' || text[0] > '9')
        return std::nullopt;
    return std::min(*leadingInt(text), max);
}
