#pragma once

#include <QString>

// What kiv --check says about a value that only one kind of element reads.
struct TagWarning
{
    qsizetype offset;  // where in the form's text
    QString message;
};
