// Speed of the shell bridge, each figure next to a reference measured in the
// same run on the same machine (the mc reader has bench_parse):
//   command start-up  a runner's run("echo hi") with five variables vs posix_spawn of "bash -c :",
//                     waiting in a poll loop and in the event loop (as kiv does)
//   output capture    100 MB through a runner vs a reader that discards the same bytes
// Every figure is the median of several runs. Usage: bench_core [runs]

#include "Measure.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

void die(const char *what)
{
    std::perror(what);
    std::exit(2);
}

// Runs "bash -c script" with its output going to fd (or inherited when fd < 0).
pid_t spawnBash(const char *script, int fd)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    char arg0[] = "/bin/bash", arg1[] = "-c";
    char *argv[] = {arg0, arg1, const_cast<char *>(script), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/bash", &actions, nullptr, argv, environ) != 0)
        die("posix_spawn");
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void reap(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
}

// The reference reader: the same producer, its bytes read and thrown away.
size_t discardOutput(const char *script)
{
    int fds[2];
    if (pipe(fds) != 0)
        die("pipe");
    const pid_t pid = spawnBash(script, fds[1]);
    close(fds[1]);
    static char buffer[64 * 1024];
    size_t total = 0;
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            total += size_t(n);
    }
    close(fds[0]);
    reap(pid);
    return total;
}

std::string producer(long bytes)
{
    return "head -c " + std::to_string(bytes) + " /dev/zero | tr '\\0' x";
}



} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 5;
    std::vector<Row> rows;

    MEnvVar store;
    CommandRunner runner(&store);
    for (const char *name : {"NAME", "DEST", "LEVEL", "ZIP", "PICK"})
        store.addVariable(name, "a value with 'quotes' and $dollars");

    // (a) command start-up, (b) output capture: first waiting in a poll loop (no
    // application object), then in the event loop.
    const auto commandRows = [&](const char *how) {
        const int calls = 200;
        const QByteArray echo("echo hi");
        if (runner.run(echo) != "hi\n")
            die("run");
        auto [kiv, ref] = medianPair(
            runs,
            [&] {
                for (int i = 0; i < calls; ++i)
                    runner.run(echo);
            },
            [&] {
                for (int i = 0; i < calls; ++i)
                    reap(spawnBash(":", -1));
            });
        kiv /= calls;
        ref /= calls;
        rows.push_back({std::string("echo hi, 5 variables, ") + how, fmt("%.2f ms", kiv * 1e3),
                        fmt("%.2f ms", ref * 1e3) + " (spawn bash -c :)", fmt("%.2fx", kiv / ref),
                        "<= 1.2x", kiv / ref <= 1.2});

        const long big = 100000000, small = 10000000;
        const QByteArray bigCommand = QByteArray::fromStdString(producer(big));
        const QByteArray smallCommand = QByteArray::fromStdString(producer(small));
        if (runner.run(bigCommand).size() != big || discardOutput(producer(big).c_str()) != size_t(big))
            die("capture");
        const auto [kivBig, refBig] = medianPair(
            runs, [&] { runner.run(bigCommand); }, [&] { discardOutput(producer(big).c_str()); });
        const double kivSmall = medianSeconds(runs, [&] { runner.run(smallCommand); });
        const double mbps = big / kivBig / 1e6, refMbps = big / refBig / 1e6;
        rows.push_back({std::string("capture 100 MB, ") + how, fmt("%.0f MB/s", mbps),
                        fmt("%.0f MB/s", refMbps) + " (read and discard)", fmt("%.2fx", mbps / refMbps),
                        ">= 0.5x", mbps / refMbps >= 0.5});
        rows.push_back({std::string("time 100 MB / 10 MB, ") + how,
                        fmt("%.0f ms", kivBig * 1e3) + " / " + fmt("%.0f ms", kivSmall * 1e3), "",
                        fmt("%.1fx", kivBig / kivSmall), "<= 12x", kivBig / kivSmall <= 12});
    };
    commandRows("poll loop");
    {
        QCoreApplication app(argc, argv);
        commandRows("event loop");
    }

    std::printf("%-38s | %-22s | %-32s | %-8s | %-15s | %s\n", "measure (median of runs)", "kiv", "reference",
                "ratio", "goal", "met");
    std::printf("%s\n", std::string(38 + 22 + 32 + 8 + 15 + 3 + 5 * 3, '-').c_str());
    bool all = true;
    for (const Row &r : rows) {
        std::printf("%-38s | %-22s | %-32s | %-8s | %-15s | %s\n", r.what.c_str(), r.kiv.c_str(),
                    r.reference.c_str(), r.ratio.c_str(), r.goal.c_str(), r.met ? "yes" : "NO");
        all = all && r.met;
    }
    std::printf("runs per figure: %d\n", runs);
    return all ? 0 : 1;
}
