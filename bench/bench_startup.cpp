// Start-up time: from fork to the first map of the program's top-level window,
// seen as a MapNotify on the root window of a running X server ($DISPLAY), for
// kiv on a form vs a minimal Qt window with one label (this program itself with
// --label-window), and a plain Qt window with the widgets of
// bench/forms/demo-static.mc written in code (--same-widgets), or for
// bench/forms/new-inputs.mc the input widgets written in code (--same-inputs), also
// with the entries of the radio group and the table read from the form's two
// commands, run through bash as the window is built (--same-inputs-run), and for
// bench/forms/new-inputs-static.mc the same widgets without entries
// (--same-inputs-static), as that form has no command to read them from.
// Libx11 is loaded at run time, so only its headers are needed
// to build. Usage: bench_startup KIV_BINARY FORM.mc [runs]

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

#if !__has_include(<X11/Xlib.h>)
// Without the Xlib headers (libx11-dev) there is nothing to measure with.
int main()
{
    std::printf("skipped: built without the Xlib headers (libx11-dev)\n");
    return 0;
}
#else

#include <X11/Xatom.h>
#include "XlibCalls.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

Xlib x;

// A window may be gone by the time its property is read; that is not an error here.
int ignoreErrors(Display *, XErrorEvent *) { return 0; }

long windowPid(Display *display, Window window)
{
    static const Atom pidAtom = x.internAtom(display, "_NET_WM_PID", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    long pid = -1;
    if (x.getWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                            &data) == Success
        && data && items == 1 && format == 32)
        pid = *reinterpret_cast<long *>(data);
    if (data)
        x.free(data);
    return pid;
}

// Seconds from fork to the map of a window of the started program; negative on
// failure or after timeout seconds.
double timeToMap(Display *display, const std::vector<std::string> &command, double timeout)
{
    while (x.pending(display)) {
        XEvent stale;
        x.nextEvent(display, &stale);
    }
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        std::vector<char *> argv;
        for (const std::string &s : command)
            argv.push_back(const_cast<char *>(s.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    double result = -1;
    const int fd = x.connectionNumber(display);
    while (result < 0) {
        const double left = timeout - std::chrono::duration<double>(Clock::now() - start).count();
        if (left <= 0)
            break;
        if (!x.pending(display)) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, int(left * 1000) + 1);
            continue;
        }
        XEvent event;
        x.nextEvent(display, &event);
        if (event.type == MapNotify && windowPid(display, event.xmap.window) == pid)
            result = std::chrono::duration<double>(Clock::now() - start).count();
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return result;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

// The widgets of bench/forms/demo-static.mc, built by hand: what kiv's own work
// is compared with.
int sameWidgetsWindow(int argc, char **argv)
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    QWidget window;
    auto *top = new QVBoxLayout(&window);
    top->addWidget(new QLabel(QStringLiteral("kiv demo: every element kind")));
    top->addWidget(new QLabel(QStringLiteral("A label whose command prints nothing shows its text attribute.")));
    auto *tabs = new QTabWidget;
    top->addWidget(tabs);
    auto *display = new QWidget;
    auto *displayLayout = new QVBoxLayout(display);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Built at 12:00:00")));
    row->addWidget(new QLabel(QStringLiteral("(fixed text)")));
    displayLayout->addLayout(row);
    for (int i = 0; i < 3; ++i) {
        auto *image = new QLabel;
        image->setPixmap(QPixmap::fromImage(QImage(QStringLiteral(KIV_DATA_DIR "/icona.png"))));
        displayLayout->addWidget(image);
    }
    tabs->addTab(display, QStringLiteral("Display"));
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->addWidget(new QLineEdit(QStringLiteral("World")));
    contentLayout->addWidget(new QLineEdit(QStringLiteral("Hello")));
    contentLayout->addWidget(new QCheckBox(QStringLiteral("Shout")));
    contentLayout->addWidget(new QComboBox);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLineEdit);
    auto *browse = new QToolButton;
    browse->setText(QStringLiteral("..."));
    fileRow->addWidget(browse);
    contentLayout->addLayout(fileRow);
    auto *list = new QListWidget;
    list->addItem(new QListWidgetItem(QIcon(QStringLiteral(KIV_DATA_DIR "/icona.png")), QStringLiteral("third")));
    contentLayout->addWidget(list);
    scroll->setWidget(content);
    tabs->addTab(scroll, QStringLiteral("Input"));
    auto *buttons = new QHBoxLayout;
    for (const char *title : {"Greet", "Show choices", "List files"})
        buttons->addWidget(new QPushButton(QString::fromUtf8(title)));
    top->addLayout(buttons);
    top->addWidget(new QTextEdit);
    window.show();
    return app.exec();
}

// What a plain Qt program does to show a command's output: run it, wait, read.
QStringList outputLines(const char *command)
{
    QProcess bash;
    bash.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), QString::fromUtf8(command)});
    bash.waitForFinished(-1);
    return QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// Where the hand-built twin of an inputs form takes the radio's and the table's entries from.
enum class Entries { InCode, FromCommands, Absent };

// The widgets of bench/forms/new-inputs.mc (keep them in step with the form), or
// of new-inputs-static.mc without entries.
int sameInputsWindow(int argc, char **argv, Entries entries)
{
    const bool runCommands = entries == Entries::FromCommands;
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    QWidget window;
    auto *top = new QVBoxLayout(&window);
    auto *password = new QLineEdit(QStringLiteral("secret"));
    password->setEchoMode(QLineEdit::Password);
    top->addWidget(password);
    auto *check = new QCheckBox(QStringLiteral("Shout"));
    check->setChecked(true);
    top->addWidget(check);
    auto *group = new QGroupBox(QStringLiteral("Mode"));
    auto *radios = new QVBoxLayout(group);
    QStringList choices = runCommands ? outputLines("printf '%s\\n' fast '#safe' slow")
                                      : QStringList{QStringLiteral("fast"), QStringLiteral("#safe"),
                                                    QStringLiteral("slow")};
    if (entries == Entries::Absent)
        choices.clear();
    for (const QString &choice : choices) {
        const bool chosen = choice.startsWith(u'#');
        auto *radio = new QRadioButton(chosen ? choice.mid(1) : choice);
        radio->setChecked(chosen);
        radios->addWidget(radio);
    }
    top->addWidget(group);
    auto *number = new QSpinBox;
    number->setRange(0, 100);
    number->setValue(5);
    top->addWidget(number);
    auto *sliderRow = new QHBoxLayout;
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setRange(0, 100);
    slider->setValue(40);
    sliderRow->addWidget(slider);
    sliderRow->addWidget(new QLabel(QStringLiteral("40")));
    top->addLayout(sliderRow);
    auto *date = new QDateEdit(QDate(2026, 12, 8));
    date->setCalendarPopup(true);
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    top->addWidget(date);
    auto *color = new QPushButton(QStringLiteral("#3366cc"));
    QPixmap swatch(16, 16);
    swatch.fill(QColor(0x33, 0x66, 0xcc));
    color->setIcon(QIcon(swatch));
    top->addWidget(color);
    auto *notes = new QPlainTextEdit(QStringLiteral("first line"));
    notes->setMinimumHeight(80);
    top->addWidget(notes);
    auto *rows = new QStandardItemModel(0, 3, &window);
    rows->setHorizontalHeaderLabels({QStringLiteral("PID"), QStringLiteral("User"), QStringLiteral("Command")});
    QStringList lines = runCommands ? outputLines("printf '1\\troot\\tinit\\n#2\\tada\\tbash\\n3\\tada\\tvim\\n'")
                                    : QStringList{QStringLiteral("1\troot\tinit"), QStringLiteral("#2\tada\tbash"),
                                                  QStringLiteral("3\tada\tvim")};
    if (entries == Entries::Absent)
        lines.clear();
    for (const QString &line : lines) {
        const QString row = line.startsWith(u'#') ? line.mid(1) : line;
        QList<QStandardItem *> cells;
        for (const QString &field : row.split(u'\t'))
            cells << new QStandardItem(field);
        rows->appendRow(cells);
    }
    auto *table = new QTableView;
    table->setModel(rows);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->selectRow(1);
    table->setMinimumHeight(120);
    top->addWidget(table);
    top->addWidget(new QProgressBar);
    window.setMinimumWidth(560);
    window.show();
    return app.exec();
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--same-widgets") == 0)
        return sameWidgetsWindow(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--same-inputs") == 0)
        return sameInputsWindow(argc, argv, Entries::InCode);
    if (argc > 1 && std::strcmp(argv[1], "--same-inputs-run") == 0)
        return sameInputsWindow(argc, argv, Entries::FromCommands);
    if (argc > 1 && std::strcmp(argv[1], "--same-inputs-static") == 0)
        return sameInputsWindow(argc, argv, Entries::Absent);
    if (argc > 1 && std::strcmp(argv[1], "--label-window") == 0) {
        QApplication app(argc, argv);
        QLabel label(QStringLiteral("Hello"));
        label.show();
        return app.exec();
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s KIV_BINARY FORM.mc [runs]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(3, std::atoi(argv[3])) : 7;
    if (!x.load()) {
        std::fprintf(stderr, "bench_startup: cannot load libX11.so.6\n");
        return 2;
    }
    Display *display = x.openDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_startup: cannot open the display\n");
        return 2;
    }
    x.setErrorHandler(ignoreErrors);
    x.selectInput(display, x.defaultRootWindow(display), SubstructureNotifyMask);
    x.sync(display, False);

    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return 2;
    self[n] = '\0';
    const std::vector<std::string> kiv = {argv[1], argv[2]};
    const std::vector<std::string> label = {self, "--label-window"};
    // The hand-written twin of the form.
    const bool staticInputs = std::strstr(argv[2], "new-inputs-static") != nullptr;
    const bool inputs = !staticInputs && std::strstr(argv[2], "new-inputs") != nullptr;
    const std::vector<std::string> same = {self, inputs ? "--same-inputs" : staticInputs ? "--same-inputs-static" : "--same-widgets"};
    const std::vector<std::string> sameRun = {self, "--same-inputs-run"};

    std::vector<double> kivTimes, labelTimes, sameTimes, sameRunTimes;
    for (int i = 0; i < runs; ++i) {
        const double k = timeToMap(display, kiv, 30);
        const double l = timeToMap(display, label, 30);
        const double w = timeToMap(display, same, 30);
        const double r = inputs ? timeToMap(display, sameRun, 30) : 0;
        if (k < 0 || l < 0 || w < 0 || r < 0) {
            std::fprintf(stderr, "bench_startup: no window was mapped (kiv %s)\n", k < 0 ? "failed" : "ok");
            return 1;
        }
        kivTimes.push_back(k);
        labelTimes.push_back(l);
        sameTimes.push_back(w);
        sameRunTimes.push_back(r);
    }
    const double k = median(kivTimes), l = median(labelTimes), w = median(sameTimes);
    auto ms = [](double t) { return std::to_string(int(t * 1e3 + 0.5)) + " ms"; };
    const char *name = std::strrchr(argv[2], '/') ? std::strrchr(argv[2], '/') + 1 : argv[2];
    std::printf("%-38s | %-10s | %-44s | %-6s\n", "start-up: fork to first map", "kiv", "reference", "ratio");
    std::printf("%-38s | %-10s | %-44s | %.2fx\n", name, ms(k).c_str(),
                (ms(w) + " (Qt window, same widgets in code)").c_str(), k / w);
    if (inputs) {
        const double r = median(sameRunTimes);
        std::printf("%-38s | %-10s | %-44s | %.2fx\n", "", "", (ms(r) + " (the same, entries from the commands)").c_str(),
                    k / r);
    }
    std::printf("%-38s | %-10s | %-44s | %.2fx\n", "", "", (ms(l) + " (Qt window, one label)").c_str(), k / l);
    std::printf("runs per figure: %d\n", runs);
    return 0;
}

#endif
