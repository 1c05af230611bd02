#pragma once

#include <QByteArray>

#include <vector>

// What the command line asks for.
struct CommandLine
{
    enum Action {
        Run,        // a form, the launcher or the notice: needs a display
        Help,       // -h, --help
        Version,    // --version
        Check,      // --check FILE...
        UsageError, // exit status 2, error says why
    };
    enum Screen { Form, Launcher, Notice };

    Action action = Run;
    Screen screen = Launcher;
    bool printValues = false;
    bool watch = false; // --watch: rebuild the form whenever its file is saved
    // Check: every file. Run: the form's path (Form), or the notice's lines.
    std::vector<QByteArray> arguments;
    // Per argument, whether it is "-" before "--": standard input.
    std::vector<bool> standardInput;
    QByteArray error;
};

// Reads argv. Before QApplication has taken Qt's own options (-platform NAME,
// -style=NAME, ...) away, pass qtOptionsLeft so that they are stepped over; after
// it, argv holds only kiv's own arguments. Options may stand anywhere before
// "--"; after it every argument is a file ("-" too; before it, "-" is standard
// input). "-show" as the first argument that is
// not an option starts the notice, and everything after it is its text.
CommandLine parseCommandLine(int argc, char **argv, bool qtOptionsLeft);

QByteArray usageText();
QByteArray versionText();
QByteArray documentationAddress();
