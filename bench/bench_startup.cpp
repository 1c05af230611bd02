// Start-up time: from fork to the first map of the program's top-level window,
// seen as a MapNotify on the root window of a running X server ($DISPLAY), for
// kiv on a form vs a minimal Qt window with one label (this program itself with
// --label-window), and a plain Qt window with the widgets of
// bench/forms/demo-static.mc written in code (--same-widgets). Libx11 is loaded at run time, so only its headers are needed
// to build. Usage: bench_startup KIV_BINARY FORM.mc [runs]

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
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
#include <X11/Xlib.h>

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

struct Xlib
{
    decltype(&XOpenDisplay) openDisplay;
    decltype(&XDefaultRootWindow) defaultRootWindow;
    decltype(&XSelectInput) selectInput;
    decltype(&XSync) sync;
    decltype(&XPending) pending;
    decltype(&XNextEvent) nextEvent;
    decltype(&XConnectionNumber) connectionNumber;
    decltype(&XInternAtom) internAtom;
    decltype(&XGetWindowProperty) getWindowProperty;
    decltype(&XFree) free;
    decltype(&XSetErrorHandler) setErrorHandler;

    bool load()
    {
        void *lib = dlopen("libX11.so.6", RTLD_NOW);
        if (!lib)
            return false;
        bool ok = true;
        auto get = [&](auto &fn, const char *name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            ok = ok && fn;
        };
        get(openDisplay, "XOpenDisplay");
        get(defaultRootWindow, "XDefaultRootWindow");
        get(selectInput, "XSelectInput");
        get(sync, "XSync");
        get(pending, "XPending");
        get(nextEvent, "XNextEvent");
        get(connectionNumber, "XConnectionNumber");
        get(internAtom, "XInternAtom");
        get(getWindowProperty, "XGetWindowProperty");
        get(free, "XFree");
        get(setErrorHandler, "XSetErrorHandler");
        return ok;
    }
};

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

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--same-widgets") == 0)
        return sameWidgetsWindow(argc, argv);
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
    const std::vector<std::string> same = {self, "--same-widgets"};

    std::vector<double> kivTimes, labelTimes, sameTimes;
    for (int i = 0; i < runs; ++i) {
        const double k = timeToMap(display, kiv, 30);
        const double l = timeToMap(display, label, 30);
        const double w = timeToMap(display, same, 30);
        if (k < 0 || l < 0 || w < 0) {
            std::fprintf(stderr, "bench_startup: no window was mapped (kiv %s)\n", k < 0 ? "failed" : "ok");
            return 1;
        }
        kivTimes.push_back(k);
        labelTimes.push_back(l);
        sameTimes.push_back(w);
    }
    const double k = median(kivTimes), l = median(labelTimes), w = median(sameTimes);
    auto ms = [](double t) { return std::to_string(int(t * 1e3 + 0.5)) + " ms"; };
    const char *name = std::strrchr(argv[2], '/') ? std::strrchr(argv[2], '/') + 1 : argv[2];
    std::printf("%-38s | %-10s | %-44s | %-6s\n", "start-up: fork to first map", "kiv", "reference", "ratio");
    std::printf("%-38s | %-10s | %-44s | %.2fx\n", name, ms(k).c_str(),
                (ms(w) + " (Qt window, same widgets in code)").c_str(), k / w);
    std::printf("%-38s | %-10s | %-44s | %.2fx\n", "", "", (ms(l) + " (Qt window, one label)").c_str(), k / l);
    std::printf("runs per figure: %d\n", runs);
    return 0;
}

#endif
