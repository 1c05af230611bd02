#pragma once

#include "markup/Element.h"

#include <QByteArray>

#include <vector>

// The entries that a combo box or a radio group reads from its content: one per
// non-empty line (lines end at '\n' only; carriage returns and blanks stay). A line
// starting with '#' is marked: its entry is the rest of the line.
struct EntryLines
{
    std::vector<QByteArray> entries;
    qsizetype marked = -1; // the last marked entry, -1 when none is
};

// A null text has no entries.
EntryLines readEntryLines(const OptText &text);
