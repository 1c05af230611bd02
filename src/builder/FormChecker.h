#pragma once

#include "markup/Document.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <memory>
#include <vector>

// One thing kiv can tell the author about a form, found without running it.
struct Diagnostic
{
    enum Kind { Error, Warning, Note };
    Kind kind;
    qsizetype offset; // where in the text (0 for the file as a whole)
    QString message;
    std::vector<Diagnostic> notes; // said right after it
};

// An mc file as kiv reads it, and what is wrong with it.
struct CheckedForm
{
    QByteArray text;                    // as read (empty when it cannot be)
    QString readError;                  // why the file could not be read, or why it is no form
    std::unique_ptr<Document> document; // null when unreadable or without a tag
    ReadDetails details;
    std::vector<Diagnostic> diagnostics; // in text order
    bool standardInput = false;          // read from standard input, not a file
};

// What diagnostics call a form read from standard input.
inline constexpr char kStandardInputName[] = "<stdin>";

// Reads and checks the mc file at path. Never runs a command; picture names are
// looked up as kiv would look them up, from the current directory.
CheckedForm checkFormFile(const QByteArray &path);

// The same for the text on standard input, read to its end.
CheckedForm checkFormStandardInput();

// The same for a text already in memory.
CheckedForm checkFormText(const QByteArray &text);

// "FILE:LINE:COLUMN: error: message" lines, notes after what they explain.
QByteArray formatDiagnostics(const QByteArray &fileName, const CheckedForm &form);

// "1 error, 2 warnings": every line that formatDiagnostics would print, by kind;
// empty when there is none.
QString diagnosticCounts(const CheckedForm &form);

// The line kiv adds on standard error at start-up when a form has something to
// say: "kiv: FILE: 1 error, 2 warnings; kiv --check FILE shows them". Empty when
// there is nothing. A form from standard input is "<stdin>", checked by "-".
QByteArray startupSummary(const QByteArray &fileName, const CheckedForm &form);

// kiv --check: checks each file, prints every diagnostic to out. 1 when any
// error was found, else 0. standardInput: per path, whether it stands for
// standard input (then named "<stdin>").
int checkFiles(const std::vector<QByteArray> &paths, std::FILE *out, const std::vector<bool> &standardInput = {});

// The known name closest to name, for a "did you mean"; empty when none is close.
QByteArray closestName(QByteArrayView name, const std::vector<QByteArray> &known);

// name as an argument a shell reads back unchanged: quoted only when needed.
QByteArray shellQuoted(const QByteArray &name);
