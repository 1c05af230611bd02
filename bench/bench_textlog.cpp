// Large outputs streamed into two text logs, in 64 KiB pieces through the output
// handler as the command runner hands them over: the time from the last piece to
// the final paint, the longest the event loop was kept busy meanwhile, and the
// memory the output took (peak resident size over the size before it). Reference,
// in the same run: the same text shown by QPlainTextEdit::appendPlainText once
// the output has ended; for coloured lines, the same lines without their escapes
// in kiv. Every case runs in a process of its own, so that each peak is its own.
#include "builder/TextLog.h"
#include "markup/LosslessText.h"
#include "shell/MOHandler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

constexpr qint64 kPiece = 64 * 1024;
constexpr qint64 kMB = 1000 * 1000;

struct Case
{
    const char *name;
    const char *title;
    qint64 bytes;
    bool reference; // QPlainTextEdit finishes it in reasonable time
};

const Case kCases[] = {
    {"lines", "100 MB of lines", 100 * kMB, true},
    {"words", "10 MB line of words", 10 * kMB, true},
    {"unbroken", "50 MB line without a break", 50 * kMB, false},
    {"gigabyte", "1 GB of lines (256 MiB kept)", 1000 * kMB, false},
    {"empty", "300 MB of empty lines", 300 * kMB, false},
    {"colours", "100 MB of coloured lines", 100 * kMB, false},
    {"uncoloured", "the same without escapes", 0, false},
    {"redraws", "1,000,000 CR redraws of a line", 0, false},
};

// A coloured line as ls, grep or a compiler print it, and its text.
const QByteArray kColoured = "\e[1;34mkiv\e[0m text \e[38;5;208mlog\e[0m line \e[38;2;10;200;30m" + QByteArray(42, '.') + "\e[0m\n";
const QByteArray kUncoloured = "kiv text log line " + QByteArray(42, '.') + '\n';
constexpr qint64 kRedraws = 1'000'000;

// One piece of the output: lines of 79 characters like a listing, a line of
// words, hex digits without a break, or empty lines (the most lines per byte).
QByteArray piece(const QByteArray &kind)
{
    if (kind == "colours" || kind == "uncoloured")
        return (kind == "colours" ? kColoured : kUncoloured).repeated(kPiece / kColoured.size());
    const QByteArray unit = kind == "words"      ? QByteArray("word ")
                            : kind == "unbroken" ? QByteArray("0123456789abcdef")
                            : kind == "empty"    ? QByteArray("\n")
                                                 : QByteArray("kiv text log line " + QByteArray(60, '.') + '\n');
    QByteArray out;
    while (out.size() < kPiece)
        out += unit;
    return out.left(kPiece);
}

// The bytes a case sends: coloured lines and their uncoloured twins in as many
// lines, redraws as they come.
qint64 outputBytes(const Case &c)
{
    if (qstrcmp(c.name, "redraws") == 0) {
        qint64 bytes = 0;
        for (qint64 i = 1; i <= kRedraws; ++i)
            bytes += 2 + QByteArray::number(i).size();
        return bytes;
    }
    if (c.bytes)
        return c.bytes;
    return 100 * kMB / piece("colours").size() * piece(c.name).size();
}

qint64 statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

void settle(QWidget &window)
{
    window.repaint();
    QApplication::processEvents();
}

// Prints: end-to-painted ms, longest stall ms, start-to-end-scroll ms, memory bytes,
// select-all-and-copy ms, first-piece-to-painted ms.
int runKiv(const Case &c)
{
    MOHandler handler;
    QWidget window;
    auto *column = new QVBoxLayout(&window);
    TextLogView *logs[2] = {new TextLogView, new TextLogView};
    for (TextLogView *log : logs) {
        log->setHandler(&handler);
        log->setMinimumSize(600, 300);
        column->addWidget(log);
    }
    window.show();
    settle(window);
    const qint64 before = statusKb("VmRSS:");

    const QByteArray chunk = piece(c.name);
    QElapsedTimer timer;
    double stall = 0;
    // The same number of lines with and without colours.
    const qint64 bytes = outputBytes(c);
    const auto send = [&](const QByteArray &piece) {
        handler.appendOutput(piece);
        timer.start();
        QApplication::processEvents();
        stall = std::max(stall, timer.nsecsElapsed() / 1e6);
    };
    QElapsedTimer whole;
    whole.start();
    handler.beginOutput();
    if (qstrcmp(c.name, "redraws") == 0) {
        QByteArray redraws;
        for (qint64 i = 1; i <= kRedraws; ++i) {
            redraws += '\r' + QByteArray::number(i) + '%';
            if (redraws.size() >= kPiece || i == kRedraws)
                send(std::exchange(redraws, QByteArray()));
        }
    } else {
        for (qint64 sent = 0; sent < bytes; sent += chunk.size())
            send(chunk);
    }
    timer.start();
    handler.endOutput(0);
    // A burst of lines is indexed over several turns of the event loop.
    do
        settle(window);
    while (!handler.store().indexSome(0));
    settle(window);
    const double end = timer.nsecsElapsed() / 1e6;
    const double total = whole.nsecsElapsed() / 1e6;

    // Back to the start and on to the end again, as a user would.
    timer.start();
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_End}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(logs[0], &press);
        settle(window);
    }
    const double scroll = timer.nsecsElapsed() / 1e6;
    const qint64 memory = (statusKb("VmHWM:") - before) * 1024;
    timer.start();
    for (const Qt::Key key : {Qt::Key_A, Qt::Key_C}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
        QApplication::sendEvent(logs[0], &press);
    }
    settle(window);
    const double copy = timer.nsecsElapsed() / 1e6;
    // The redrawn line must show as one line.
    if (qstrcmp(c.name, "redraws") == 0 && logs[0]->toPlainText() != QStringLiteral("%1%").arg(kRedraws))
        return 1;
    std::printf("%.1f %.1f %.1f %lld %.1f %.1f\n", end, stall, scroll, memory, copy, total);
    return 0;
}

int runReference(const Case &c)
{
    QPlainTextEdit edit;
    edit.setMinimumSize(600, 600);
    edit.show();
    settle(edit);
    const qint64 before = statusKb("VmRSS:");
    // The output as a runner collects it.
    const QByteArray chunk = piece(c.name);
    QByteArray output;
    for (qint64 sent = 0; sent < c.bytes; sent += chunk.size())
        output += chunk;
    QElapsedTimer timer;
    timer.start();
    edit.appendPlainText(textFromBytes(output));
    settle(edit);
    const double end = timer.nsecsElapsed() / 1e6;
    std::printf("%.1f 0 0 %lld 0 %.1f\n", end, (statusKb("VmHWM:") - before) * 1024, end);
    return 0;
}

struct Figures
{
    double end = 0, stall = 0, scroll = 0, memory = 0, copy = 0, total = 0;
};

Figures measure(const QString &self, const char *which, const char *name)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, {QString::fromLatin1(which), QString::fromLatin1(name)});
    child.waitForFinished(-1);
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || f.size() < 6)
        return {-1, -1, -1, -1, -1, -1};
    return {f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toDouble(), f[5].toDouble()};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says once per window that it cannot size it; the
    // table is what this prints.
    qputenv("QT_LOGGING_RULES", "*.warning=false");
    QApplication app(argc, argv);
    if (argc == 3) {
        for (const Case &c : kCases) {
            if (qstrcmp(argv[2], c.name) == 0)
                return qstrcmp(argv[1], "--kiv") == 0 ? runKiv(c) : runReference(c);
        }
        return 2;
    }
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QString self = QCoreApplication::applicationFilePath();
    std::printf("%-30s | %-23s | %-13s | %-11s | %-14s | %-21s | %-16s\n", "two text logs, 64 KiB pieces",
                "last piece to painted", "longest stall", "Home, End", "Ctrl+A, Ctrl+C", "memory / output size",
                "goals met");
    int status = 0;
    // Coloured against uncoloured: the whole run, first piece to painted.
    double uncolouredTotal = 0;
    std::vector<double> colouredTotal;
    for (const Case &c : kCases) {
        std::vector<double> end, stall, scroll, memory, copy, total, refEnd, refMemory;
        for (int i = 0; i < runs; ++i) {
            const Figures k = measure(self, "--kiv", c.name);
            end.push_back(k.end);
            stall.push_back(k.stall);
            scroll.push_back(k.scroll);
            memory.push_back(k.memory);
            copy.push_back(k.copy);
            total.push_back(k.total);
            if (c.reference) {
                const Figures r = measure(self, "--reference", c.name);
                refEnd.push_back(r.end);
                refMemory.push_back(r.memory);
            }
        }
        const double kept = double(std::min(outputBytes(c), kOutputLimitBytes));
        const double memoryRatio = median(memory) / kept;
        bool met = memoryRatio <= 3.0 && median(end) >= 0;
        if (qstrcmp(c.name, "colours") == 0)
            colouredTotal = total;
        // The escapes are kept too (the output is stored as printed): per byte, drawing
        // them must cost at most half again.
        const double bytesRatio = double(outputBytes(kCases[5])) / double(outputBytes(kCases[6]));
        if (qstrcmp(c.name, "uncoloured") == 0) {
            uncolouredTotal = median(total);
            met = met && median(colouredTotal) / bytesRatio <= 1.5 * std::max(uncolouredTotal, 1.0);
        }
        if (qstrcmp(c.name, "redraws") == 0)
            met = median(end) >= 0 && median(end) < 100;
        char timeText[64], memoryText[64];
        if (c.reference) {
            met = met && median(end) <= 1.5 * median(refEnd);
            std::snprintf(timeText, sizeof timeText, "%.0f ms (ref %.0f ms)", median(end), median(refEnd));
            std::snprintf(memoryText, sizeof memoryText, "%.2fx (ref %.2fx)", memoryRatio, median(refMemory) / kept);
        } else {
            std::snprintf(timeText, sizeof timeText, "%.0f ms", median(end));
            std::snprintf(memoryText, sizeof memoryText, "%.2fx of what is kept", memoryRatio);
        }
        if (qstrcmp(c.name, "uncoloured") == 0)
            std::snprintf(timeText, sizeof timeText, "%.0f ms (%.1fx, %.2fx/B)", median(end),
                          median(colouredTotal) / std::max(uncolouredTotal, 1.0),
                          median(colouredTotal) / bytesRatio / std::max(uncolouredTotal, 1.0));
        std::printf("%-30s | %-23s | %10.0f ms | %8.0f ms | %11.0f ms | %-21s | %s\n", c.title, timeText,
                    median(stall), median(scroll), median(copy), memoryText, met ? "yes" : "NO");
        status |= met ? 0 : 1;
    }
    return status;
}
