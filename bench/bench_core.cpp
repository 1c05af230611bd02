// Speed of the shell bridge and the mc reader, each figure next to a reference
// measured in the same run on the same machine:
//   command start-up  runCommand("echo hi") with five variables vs posix_spawn of "bash -c :",
//                     waiting in a poll loop and in the event loop (as kiv does)
//   output capture    100 MB through runCommand vs a reader that discards the same bytes
//   mc parsing        parseDocumentText on a 10 MB form vs a byte-at-a-time scan
// Every figure is the median of several runs. Usage: bench_core [runs]

#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()> &work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double medianSeconds(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(seconds(work));
    return median(times);
}

// Runs the measured work and its reference in turns, so that a passing load on
// the machine hits both alike. Returns the two medians.
std::pair<double, double> medianPair(int runs, const std::function<void()> &work,
                                     const std::function<void()> &reference)
{
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(seconds(work));
        b.push_back(seconds(reference));
    }
    return {median(a), median(b)};
}

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

// A form of realistic shape, repeated up to about the given size.
QByteArray sampleForm(qsizetype bytes)
{
    const QByteArray block(
        "  <hlayout width=\"400\" height=\"30\">\n"
        "    <label>echo \"Name of the $KIND\"</label>\n"
        "    <text var=\"NAME\" title=\"Name\">echo World</text>\n"
        "    <combo var=\"LEVEL\"><item>echo fast</item><item code=\"echo best\"/></combo>\n"
        "    <button title=\"Run\">echo \"Hello $NAME\" | tr a-z A-Z</button>\n"
        "  </hlayout>\n");
    QByteArray form("<vlayout>\n");
    form.reserve(bytes + block.size() + 16);
    while (form.size() + block.size() < bytes)
        form += block;
    form += "</vlayout>\n";
    return form;
}

size_t countTags(const QByteArray &text)
{
    size_t tags = 0;
    const char *p = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i)
        tags += p[i] == '<';
    return tags;
}

struct Row
{
    std::string what;
    std::string kiv;
    std::string reference;
    std::string ratio;
    std::string goal;
    bool met;
};

std::string fmt(const char *format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 5;
    std::vector<Row> rows;

    MEnvVar store;
    setRunnerStore(&store);
    for (const char *name : {"NAME", "DEST", "LEVEL", "ZIP", "PICK"})
        store.addVariable(name, "a value with 'quotes' and $dollars");

    // (a) command start-up, (b) output capture: first waiting in a poll loop (no
    // application object), then in the event loop.
    const auto commandRows = [&](const char *how) {
        const int calls = 200;
        const QByteArray echo("echo hi");
        if (runCommand(echo) != "hi\n")
            die("runCommand");
        auto [kiv, ref] = medianPair(
            runs,
            [&] {
                for (int i = 0; i < calls; ++i)
                    runCommand(echo);
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
        if (runCommand(bigCommand).size() != big || discardOutput(producer(big).c_str()) != size_t(big))
            die("capture");
        const auto [kivBig, refBig] = medianPair(
            runs, [&] { runCommand(bigCommand); }, [&] { discardOutput(producer(big).c_str()); });
        const double kivSmall = medianSeconds(runs, [&] { runCommand(smallCommand); });
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

    // (c) mc parsing.
    {
        const QByteArray big = sampleForm(10 * 1000 * 1000);
        const QByteArray small = sampleForm(1000 * 1000);
        if (!parseDocumentText(big)->root() || !parseDocumentText(small)->root())
            die("parse");
        // Only the parse is timed: a form's tree lives as long as its window.
        std::unique_ptr<Document> doc;
        volatile size_t sink = 0;
        std::vector<double> kivRuns, refRuns, smallRuns;
        for (int i = 0; i < runs; ++i) {
            doc.reset();
            kivRuns.push_back(seconds([&] { doc = parseDocumentText(big); }));
            refRuns.push_back(seconds([&] { sink = sink + countTags(big); }));
            doc.reset();
            smallRuns.push_back(seconds([&] { doc = parseDocumentText(small); }));
        }
        const double kiv = median(kivRuns), ref = median(refRuns), kivSmall = median(smallRuns);
        const double mbps = big.size() / kiv / 1e6;
        rows.push_back({"parseDocumentText, 10 MB form", fmt("%.0f MB/s", mbps),
                        fmt("%.0f MB/s", big.size() / ref / 1e6) + " (byte scan)", fmt("%.3fx", ref / kiv),
                        ">= 200 MB/s", mbps >= 200});
        rows.push_back({"parse time 10 MB / 1 MB", fmt("%.1f ms", kiv * 1e3) + " / " + fmt("%.1f ms", kivSmall * 1e3),
                        "", fmt("%.1fx", kiv / kivSmall), "<= 12x", kiv / kivSmall <= 12});
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
