// How long a text log takes to show a large output: from the moment the command
// has ended (its output captured) to the text set and the window painted again.
// Reference: the same bytes shown in a plain QPlainTextEdit.
#include "builder/Builders.h"
#include "markup/Document.h"
#include "shell/CommandRunner.h"
#include "shell/MEnvVar.h"
#include "shell/MOHandler.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cstdio>

namespace {

double showInTextLog(const QByteArray &output)
{
    MEnvVar store;
    MOHandler handler;
    setVariableStore(&store);
    setRunnerStore(&store);
    setOutputHandler(&handler);
    auto doc = parseDocumentText("<vlayout><textlog width=\"600\" height=\"400\"/></vlayout>");
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    buildElement(nullptr, doc->root(), layout);
    window.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    handler.outputGathered(output);
    window.repaint();
    QApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    setOutputHandler(nullptr);
    setRunnerStore(nullptr);
    setVariableStore(nullptr);
    return ms;
}

double showInPlainEdit(const QByteArray &output)
{
    QPlainTextEdit edit;
    edit.resize(600, 400);
    edit.show();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    edit.setPlainText(QString::fromUtf8(output));
    edit.repaint();
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MEnvVar store;
    setRunnerStore(&store);
    std::printf("%-34s | %-12s | %-24s\n", "output shown in a text log", "kiv", "reference (QPlainTextEdit)");
    for (const int megabytes : {1, 10}) {
        // Lines of 79 characters, like the output of a listing or a log.
        const QByteArray command = "yes 'kiv text log line ......................................................"
                                   "....' | head -c " + QByteArray::number(megabytes * 1000000);
        const QByteArray output = runCommand(command);
        const double kiv = showInTextLog(output);
        const double ref = showInPlainEdit(output);
        std::printf("%-34s | %9.0f ms | %9.0f ms\n",
                    QByteArray(QByteArray::number(megabytes) + " MB, command end to painted").constData(), kiv, ref);
    }
    setRunnerStore(nullptr);
    return 0;
}
