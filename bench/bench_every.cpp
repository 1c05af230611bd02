// A status panel: 50 labels, each read again every 0.5 s. kiv's own CPU time
// (its commands' bash left out) while it runs for 10 s, against the same window
// without timers in the same run; then, for as long, the lateness of a 5 ms timer
// probe, as in bench_latency. Goals: under 2% of one core, probe p99 under 50 ms.
// Usage: bench_every [seconds]   (offscreen unless QT_QPA_PLATFORM says otherwise)

#include "EventLoopProbe.h"
#include "builder/Builders.h"
#include "builder/FormRefresh.h"
#include "markup/Document.h"
#include "shell/FormSession.h"

#include <QApplication>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

double ownCpuSeconds()
{
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    return double(self.ru_utime.tv_sec + self.ru_stime.tv_sec)
        + double(self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
}

struct Result
{
    Lateness late;
    double cpuShare = 0;  // of one core
};

Result run(const QByteArray &every, int seconds)
{
    QByteArray mc = "<vlayout>";
    for (int i = 0; i < 50; ++i)
        mc += "<label" + every + ">echo \"load $(cut -d' ' -f1 /proc/loadavg) " + QByteArray::number(i) + "\"</label>";
    mc += "</vlayout>";
    FormSession session;
    const auto doc = parseDocumentText(mc);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    buildElement(session, doc->root(), layout);
    FormRefresh::of(session).start();
    window.show();
    // The CPU without the probe, whose own ticks would count; then the probe.
    Result r;
    const double before = ownCpuSeconds();
    idle(seconds * 1000);
    r.cpuShare = (ownCpuSeconds() - before) / seconds;
    r.late = probe([&] { idle(seconds * 1000); });
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    const Result reference = run("", seconds);
    const Result timers = run(" every=\"0.5\"", seconds);
    std::printf("%-34s | %-8s | %-8s | %-8s | %s\n", "50 labels, event loop and CPU", "p50", "p99", "kiv CPU",
                "goal (p99 < 50 ms, CPU < 2%)");
    std::printf("%s\n", std::string(34 + 8 * 3 + 30 + 12, '-').c_str());
    std::printf("%-34s | %-8s | %-8s | %6.2f%% | (reference)\n", "no every (reference)",
                fmtMs(reference.late.p50).c_str(), fmtMs(reference.late.p99).c_str(), reference.cpuShare * 100);
    const bool met = timers.late.p99 < 50 && timers.cpuShare < 0.02;
    std::printf("%-34s | %-8s | %-8s | %6.2f%% | %s\n", "every=\"0.5\" on each", fmtMs(timers.late.p50).c_str(),
                fmtMs(timers.late.p99).c_str(), timers.cpuShare * 100, met ? "met" : "NOT met");
    std::printf("seconds per figure: %d\n", seconds);
    return met ? 0 : 1;
}
