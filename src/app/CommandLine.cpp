#include "app/CommandLine.h"

#include "builder/FormChecker.h"

#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <iterator>

namespace {

// Qt's own options, which QApplication takes away; those in the first list take
// the argument after them as their value.
const char *const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "display", "geometry", "style", "stylesheet", "name", "title", "visual",
};
const char *const kQtOptionsAlone[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
const char *const kOwnOptions[] = {"--help", "--version", "--check", "--print-values", "--watch"};

template<size_t N>
bool listed(QByteArrayView name, const char *const (&list)[N])
{
    return std::any_of(std::begin(list), std::end(list), [&](const char *n) { return name == QByteArrayView(n); });
}

// How many arguments the Qt option at argv[i] takes up (0: it is none).
int qtOptionLength(QByteArrayView arg, bool valueFollows)
{
    if (!arg.startsWith('-') || arg.size() < 2)
        return 0;
    QByteArrayView name = arg.sliced(arg.startsWith("--") ? 2 : 1);
    if (const qsizetype eq = name.indexOf('='); eq > 0) {
        // -style=fusion, -qmljsdebugger=port:1234
        name = name.first(eq);
        return listed(name, kQtOptionsWithValue) || name == "qmljsdebugger" ? 1 : 0;
    }
    if (listed(name, kQtOptionsAlone))
        return 1;
    if (listed(name, kQtOptionsWithValue))
        return valueFollows ? 2 : 1;
    return 0;
}

// Nearest of kiv's options to a mistyped one, or empty.
QByteArray nearOption(QByteArrayView arg)
{
    std::vector<QByteArray> options;
    for (const char *option : kOwnOptions) {
        // A prefix (--vers) is taken for the option it begins.
        if (QByteArrayView(option).startsWith(arg) && arg.size() > 3)
            return option;
        options.emplace_back(option);
    }
    return closestName(arg, options);
}

CommandLine usageError(QByteArray message)
{
    CommandLine line;
    line.action = CommandLine::UsageError;
    line.error = std::move(message);
    return line;
}

} // namespace

CommandLine parseCommandLine(int argc, char **argv, bool qtOptionsLeft)
{
    CommandLine line;
    bool check = false, optionsEnded = false, notice = false, fromInput = false;
    std::vector<QByteArray> positional;
    std::vector<bool> standardInput;
    for (int i = 1; i < argc && argv && argv[i]; ++i) {
        const QByteArrayView arg(argv[i]);
        if (notice || optionsEnded) {
            positional.emplace_back(arg.toByteArray());
            standardInput.push_back(false);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            line.action = CommandLine::Help;
            return line;
        }
        if (arg == "--version") {
            line.action = CommandLine::Version;
            return line;
        }
        if (arg == "--check") {
            check = true;
            continue;
        }
        if (arg == "--print-values") {
            line.printValues = true;
            continue;
        }
        if (arg == "--watch") {
            line.watch = true;
            continue;
        }
        if (qtOptionsLeft) {
            if (const int n = qtOptionLength(arg, i + 1 < argc)) {
                i += n - 1;
                continue;
            }
        }
        if (arg.startsWith("--")) {
            const QByteArray option = arg.toByteArray();
            QByteArray message = QByteArray("unknown option '") + option + '\'';
            if (const QByteArray near = nearOption(arg); !near.isEmpty())
                message += QByteArray("; did you mean '") + near + "'?";
            message += QByteArray("\n(a file whose name begins with '-' goes after '--': kiv -- ") + option + ')';
            return usageError(message);
        }
        if (positional.empty() && arg == "-show" && !check)
            notice = true;
        fromInput |= positional.empty() && arg == "-";
        positional.emplace_back(arg.toByteArray());
        standardInput.push_back(arg == "-");
    }

    if (check) {
        if (line.printValues || line.watch)
            return usageError(line.watch ? "--check and --watch do not go together"
                                         : "--check and --print-values do not go together");
        if (positional.empty())
            return usageError("--check needs at least one mc file");
        line.action = CommandLine::Check;
        line.arguments = std::move(positional);
        line.standardInput = std::move(standardInput);
        return line;
    }
    if (notice) {
        line.screen = CommandLine::Notice;
        positional.erase(positional.begin());
        standardInput.assign(positional.size(), false);
    } else if (!positional.empty()) {
        line.screen = CommandLine::Form;
        positional.resize(1); // further arguments are ignored
        standardInput.resize(1);
    }
    if (line.printValues && line.screen != CommandLine::Form)
        return usageError("--print-values needs an mc file");
    if (line.watch && line.screen != CommandLine::Form)
        return usageError("--watch needs an mc file");
    if (line.watch && fromInput)
        return usageError("--watch needs a file: standard input is never saved again");
    line.arguments = std::move(positional);
    line.standardInput = std::move(standardInput);
    return line;
}

QByteArray usageText()
{
    return QByteArrayLiteral(
        "Usage: kiv [--print-values] FILE.mc   show the form that FILE.mc describes\n"
        "       kiv --watch FILE.mc          the same, rebuilt each time FILE.mc is saved\n"
        "       kiv                          show the launcher, which picks an mc file\n"
        "                                    and starts kiv on it\n"
        "       kiv -show [LINE1 [LINE2]]    show a notice with LINE2 above LINE1\n"
        "                                    and an OK button (Return, Escape close it)\n"
        "       kiv --check FILE.mc...       find mistakes in mc files; runs nothing\n"
        "       kiv [--print-values] -       the form on standard input (here-documents);\n"
        "                                    --check - too; named <stdin> in messages\n"
        "       kiv -h | --help | --version\n"
        "\n"
        "Options:\n"
        "  --check           read each file without running any command and print one\n"
        "                    line per finding: FILE:LINE:COLUMN: error|warning|note: text\n"
        "  --print-values    when the form ends, print every bound variable as NAME='value'\n"
        "                    for a calling script: eval \"$(kiv --print-values f.mc)\"\n"
        "  --watch           rebuild the form in the same window whenever FILE.mc is saved\n"
        "                    (a running command is stopped first); while the saved file\n"
        "                    has errors the last good form stays, under a bar that lists\n"
        "                    them as --check does\n"
        "  --                the arguments after it are files, even if they begin with '-'\n"
        "                    or read like Qt's options (kiv -- -reverse; kiv -- - opens\n"
        "                    a file named -)\n"
        "Qt's own options (for example -platform, -display, -style) may come first.\n"
        "Windows open on X11 (DISPLAY) or natively on Wayland (WAYLAND_DISPLAY).\n"
        "\n"
        "Escape or the Stop button stops a running command; closing the window stops\n"
        "it and ends kiv.\n"
        "Exit status: 0 when the form's window is closed, or --check found no error;\n"
        "1 when a form cannot be opened, or --check found an error; 2 for a wrong\n"
        "command line; 143 when kiv is ended by SIGTERM (kill $KIV_MY_PID: values are\n"
        "still printed), 130 by SIGINT, 129 by SIGHUP.\n"
        "A form with a button exit=N is a dialog: it ends with N after that button's\n"
        "command; Return in a one-line input presses its first exit=0 button; Escape\n"
        "and closing end it with 1; --print-values prints only when it ends with 0.\n"
        "\n"
        "mc tags:\n"
        "  label textlog img                 display elements\n"
        "  progress                          a bar fed by the command's output\n"
        "  button text textbox global        commands and text variables\n"
        "  checkbox combobox iconlist file   further bound widgets\n"
        "  password textarea radio           more text inputs and choices\n"
        "  number slider date color          numbers and pickers\n"
        "  table                             rows to choose from\n"
        "  vlayout hlayout scrolllayout tab  containers (tab pages: title)\n"
        "  config                            groups elements without a widget\n"
        "  note                              a remark: never built\n"
        "Attributes of these: textlog format=auto|plain|rich; progress text (idle);\n"
        "checkbox checked=1; radio title, mode=v|h; number and slider min, max, step,\n"
        "decimals; date format (yyyy-MM-dd); color text=#rrggbb; table columns=A|B|C,\n"
        "separator=tab|blanks, select=single|multi, column=N, ondoubleclick;\n"
        "button exit=N (0..125: the form ends with status N after its command).\n"
        "Common attributes: width, height (minimum size); var binds a variable.\n"
        "Forms that change: any element may have id=NAME; refresh=\"NAMES\" (vars or\n"
        "ids) reads them again after a button's or icon list's command, or when a\n"
        "widget's value changes; every=SECONDS (0.1 at least) reads an element again;\n"
        "enabled and visible (0 turns a widget off) are read at start and each refresh.\n"
        "\n"
        "Documentation: " KIV_DOC_URL "\n");
}

QByteArray documentationAddress() { return QByteArrayLiteral(KIV_DOC_URL); }

QByteArray versionText() { return QByteArrayLiteral("kiv " KIV_VERSION "\n"); }
