// kiv --watch: from the save of the form's file (a new file renamed over it, as
// editors save) to the rebuilt form painted, vs a fresh start of kiv on the same
// file, from fork to its window painted. Both ends are seen from outside on a
// running X server ($DISPLAY): painting is X Damage on the root window, and a
// form counts as painted once the damage since the start covers at least half of
// kiv's window, at the last paint before 0.3 s without one. Xlib and Xdamage are loaded at run time, so no headers of theirs
// are needed beyond Xlib's. Usage: bench_watch KIV_BINARY FORM.mc [runs]

#include <cstdio>

#if !__has_include(<X11/Xlib.h>)
int main()
{
    std::printf("skipped: built without the Xlib headers (libx11-dev)\n");
    return 0;
}
#else

#include "Measure.h"

#include <X11/Xatom.h>
#include "XlibCalls.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// libXdamage's few calls and its event, as its header declares them.
using Damage = XID;
struct DamageNotifyEvent
{
    int type;
    unsigned long serial;
    Bool send_event;
    Display *display;
    Drawable drawable;
    Damage damage;
    int level;
    Bool more;
    Time timestamp;
    XRectangle area;
    XRectangle geometry;
};
constexpr int kReportRawRectangles = 0;

// Xlib and the two calls of libXdamage that watching paints needs.
struct XlibDamage : Xlib
{
    Bool (*damageQueryExtension)(Display *, int *, int *);
    Damage (*damageCreate)(Display *, Drawable, int);

    bool load()
    {
        void *damage = dlopen("libXdamage.so.1", RTLD_NOW);
        return Xlib::load() & get(damage, damageQueryExtension, "XDamageQueryExtension")
            & get(damage, damageCreate, "XDamageCreate");
    }
};

XlibDamage x;
int g_damageEvent = 0;

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

struct Box
{
    long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    void unite(const XRectangle &r)
    {
        if (empty()) {
            *this = {r.x, r.y, r.x + long(r.width), r.y + long(r.height)};
            return;
        }
        x0 = std::min<long>(x0, r.x), y0 = std::min<long>(y0, r.y);
        x1 = std::max<long>(x1, r.x + long(r.width)), y1 = std::max<long>(y1, r.y + long(r.height));
    }
    long area() const { return empty() ? 0 : (x1 - x0) * (y1 - y0); }
    Box clipped(const Box &to) const
    {
        Box b{std::max(x0, to.x0), std::max(y0, to.y0), std::min(x1, to.x1), std::min(y1, to.y1)};
        return b.empty() ? Box() : b;
    }
};

// What one wait watches: the window of a process, and the damage since a moment.
struct Watch
{
    Display *display;
    pid_t pid;
    Window window = 0;
    Box frame;  // the window, in root coordinates
    Box damage; // since the start
    Clock::time_point lastPaint{}; // the last damage beyond a text cursor's blink
    bool painted() const { return window && damage.clipped(frame).area() * 2 >= frame.area() && frame.area() > 0; }
};

void learnFrame(Watch &w, Window window)
{
    Window root = 0;
    int wx = 0, wy = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (x.getGeometry(w.display, window, &root, &wx, &wy, &width, &height, &border, &depth)) {
        w.window = window;
        w.frame = {wx, wy, wx + long(width), wy + long(height)};
    }
}

// Reads events until done says so or timeout seconds from start pass; false on
// the time-out.
bool readEvents(Watch &w, Clock::time_point start, double timeout, const std::function<bool()> &done)
{
    const int fd = x.connectionNumber(w.display);
    while (!done()) {
        const double left = timeout - std::chrono::duration<double>(Clock::now() - start).count();
        if (left <= 0)
            return false;
        if (!x.pending(w.display)) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, int(left * 1000) + 1);
            continue;
        }
        XEvent event;
        x.nextEvent(w.display, &event);
        if (event.type == MapNotify && !w.window && windowPid(w.display, event.xmap.window) == w.pid)
            learnFrame(w, event.xmap.window);
        else if (event.type == g_damageEvent) {
            const XRectangle &r = reinterpret_cast<DamageNotifyEvent *>(&event)->area;
            w.damage.unite(r);
            if (long(r.width) * r.height * 100 >= w.frame.area())
                w.lastPaint = Clock::now();
        }
    }
    return true;
}

void drain(Display *display)
{
    x.sync(display, False);
    while (x.pending(display)) {
        XEvent stale;
        x.nextEvent(display, &stale);
    }
}

pid_t spawn(const std::vector<std::string> &command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv;
        for (const std::string &s : command)
            argv.push_back(const_cast<char *>(s.c_str()));
        argv.push_back(nullptr);
        // kiv's summary lines about the form are not the benchmark's output.
        if (!freopen("/dev/null", "w", stderr))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void end(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Once painted, reads on until no paint has come for quiet seconds: a form whose
// build runs commands paints more than once. The time of the last paint.
Clock::time_point settle(Watch &w, double quiet)
{
    for (;;) {
        const Clock::time_point before = w.lastPaint;
        readEvents(w, Clock::now(), quiet, [] { return false; });
        if (w.lastPaint == before)
            return before;
    }
}

// Fork to the form painted; negative on failure.
double freshStart(Display *display, const std::string &kiv, const std::string &form)
{
    drain(display);
    const auto start = Clock::now();
    Watch w{display, spawn({kiv, form}), 0, {}, {}};
    const bool ok = readEvents(w, start, 30, [&] { return w.painted(); });
    const double t = std::chrono::duration<double>(settle(w, 0.3) - start).count();
    end(w.pid);
    drain(display);
    return ok ? t : -1;
}

bool writeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out.flush());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s KIV_BINARY FORM.mc [runs]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(3, std::atoi(argv[3])) : 7;
    if (!x.load()) {
        std::printf("skipped: cannot load libX11.so.6 and libXdamage.so.1\n");
        return 0;
    }
    Display *display = x.openDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_watch: cannot open the display\n");
        return 2;
    }
    int errorBase = 0;
    if (!x.damageQueryExtension(display, &g_damageEvent, &errorBase)) {
        std::printf("skipped: the X server has no Damage extension\n");
        return 0;
    }
    x.setErrorHandler(ignoreErrors);
    const Window root = x.defaultRootWindow(display);
    x.selectInput(display, root, SubstructureNotifyMask);
    x.damageCreate(display, root, kReportRawRectangles);
    x.sync(display, False);

    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string original = text.str();
    char scratch[] = "/tmp/bench_watch.XXXXXX";
    if (!mkdtemp(scratch))
        return 2;
    const std::string dir = scratch, path = dir + "/form.mc", next = dir + "/form.mc.new";
    if (!writeFile(path, original))
        return 2;

    // The watched kiv, started once and idle before each save.
    Watch watched{display, spawn({argv[1], "--watch", path}), 0, {}, {}};
    if (!readEvents(watched, Clock::now(), 30, [&] { return watched.painted(); })) {
        std::fprintf(stderr, "bench_watch: kiv --watch showed no form\n");
        end(watched.pid);
        return 1;
    }
    std::vector<double> rebuilds, starts;
    for (int i = 0; i < runs; ++i) {
        const double fresh = freshStart(display, argv[1], path);
        settle(watched, 0.3);
        // A different text each time (trailing blank lines), the same form.
        if (!writeFile(next, original + std::string(size_t(i % 2 + 1), '\n')))
            return 2;
        watched.damage = Box();
        const auto start = Clock::now();
        std::rename(next.c_str(), path.c_str());
        const bool ok = readEvents(watched, start, 30, [&] { return watched.painted(); });
        const double rebuild = std::chrono::duration<double>(settle(watched, 0.3) - start).count();
        if (fresh < 0 || !ok) {
            std::fprintf(stderr, "bench_watch: no paint (fresh start %s, rebuild %s)\n", fresh < 0 ? "failed" : "ok",
                         ok ? "ok" : "failed");
            end(watched.pid);
            return 1;
        }
        starts.push_back(fresh);
        rebuilds.push_back(rebuild);
    }
    end(watched.pid);
    std::remove(path.c_str());
    rmdir(scratch);

    const double r = median(rebuilds), s = median(starts);
    auto ms = [](double t) { return std::to_string(int(t * 1e3 + 0.5)) + " ms"; };
    const char *name = std::strrchr(argv[2], '/') ? std::strrchr(argv[2], '/') + 1 : argv[2];
    const bool met = r <= 1.2 * s;
    std::printf("%-38s | %-10s | %-36s | %-6s | %s\n", "--watch: save to rebuilt form painted", "kiv --watch",
                "reference", "ratio", "goal");
    std::printf("%-38s | %-10s | %-36s | %.2fx  | <= 1.2x %s\n", name, ms(r).c_str(),
                (ms(s) + " (fresh start: fork to painted)").c_str(), r / s, met ? "met" : "MISSED");
    std::printf("runs per figure: %d\n", runs);
    return met ? 0 : 1;
}

#endif
