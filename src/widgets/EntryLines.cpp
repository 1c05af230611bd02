#include "widgets/EntryLines.h"

EntryLines readEntryLines(const OptText &text)
{
    EntryLines lines;
    if (!text)
        return lines;
    const QByteArray &all = *text;
    qsizetype start = 0;
    while (start <= all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        const qsizetype from = start;
        start = end + 1;
        if (end == from)
            continue;
        if (all[from] == '#') {
            lines.marked = qsizetype(lines.entries.size());
            lines.entries.push_back(all.mid(from + 1, end - from - 1));
        } else {
            lines.entries.push_back(all.mid(from, end - from));
        }
    }
    return lines;
}
