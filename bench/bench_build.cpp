// Cost of building forms: labels without commands, labels that each run a
// command, and one bare shell spawn for comparison. Prints a small table.
#include "app/frmMain.h"
#include "markup/Document.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds to parse and build one whole form from text.
double buildOnce(const QByteArray &mc)
{
    QElapsedTimer timer;
    timer.start();
    auto document = parseDocumentText(mc);
    auto window = std::make_unique<frmMain>();
    buildDocumentWindow(window.get(), document->root());
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return ms;
}

double spawnOnce()
{
    char arg0[] = "/bin/bash", arg1[] = "-c", arg2[] = ":";
    char *args[] = {arg0, arg1, arg2, nullptr};
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/bash", nullptr, nullptr, args, environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return double(timer.nsecsElapsed()) / 1e6;
}

QByteArray labels(int count, bool withCommand)
{
    QByteArray mc = "<vlayout>\n";
    for (int i = 0; i < count; ++i) {
        if (withCommand)
            mc += "<label>echo line " + QByteArray::number(i) + "</label>\n";
        else
            mc += "<label text=\"line " + QByteArray::number(i) + "\"/>\n";
    }
    return mc + "</vlayout>\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    struct Row
    {
        const char *what;
        int elements;
        double ms;
    };
    std::vector<Row> rows;

    const QByteArray plain = labels(1000, false);
    const QByteArray commands = labels(100, true);
    buildOnce(plain); // warm up fonts and styles

    std::vector<double> t;
    for (int i = 0; i < 7; ++i)
        t.push_back(buildOnce(plain));
    rows.push_back({"1000 labels, no command", 1000, medianOf(t)});

    t.clear();
    for (int i = 0; i < 5; ++i)
        t.push_back(buildOnce(commands));
    rows.push_back({"100 labels, one command each", 100, medianOf(t)});

    t.clear();
    for (int i = 0; i < 50; ++i)
        t.push_back(spawnOnce());
    rows.push_back({"bare spawn of /bin/bash -c :", 1, medianOf(t)});

    std::printf("%-32s %10s %12s %14s\n", "form", "elements", "total ms", "ms per element");
    for (const Row &r : rows)
        std::printf("%-32s %10d %12.2f %14.4f\n", r.what, r.elements, r.ms, r.ms / r.elements);
    std::printf("(median of repeated runs; build = parse + widgets + commands)\n");
    return 0;
}
