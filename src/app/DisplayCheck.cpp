#include "app/DisplayCheck.h"

#include "markup/LosslessText.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

// A message of Qt's, held back while the platform starts: when the start fails it
// explains why, when it succeeds it is passed on unchanged.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};

// Qt's message handler is one plain function for the whole process: so is its state.
QtMessageHandler g_previous = nullptr;
bool g_platformUp = false;
bool g_quiet = false;

QList<HeldMessage> &heldMessages()
{
    static QList<HeldMessage> messages;
    return messages;
}

[[noreturn]] void exitWithoutDisplay()
{
    if (g_quiet)
        std::_Exit(1);
    QByteArray text("kiv: cannot open a display (is DISPLAY or WAYLAND_DISPLAY set?)\n");
    for (const HeldMessage &message : heldMessages()) {
        // Qt's "could not load ... even though it was found" only repeats the failure.
        if (message.text.contains(QLatin1String("even though it was found")))
            continue;
        text += "kiv: " + bytesFromText(message.text).trimmed() + '\n';
        if (message.text.contains(QLatin1String("Could not find the Qt platform plugin")))
            text += "kiv: that platform's Qt plugin is not installed (Wayland: Debian package "
                    "qt6-wayland); QT_QPA_PLATFORM=xcb chooses X11\n";
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
    // Quick exit: this runs inside QApplication's constructor, with Qt half set up.
    std::_Exit(1);
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (!g_platformUp) {
        if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin")))
            exitWithoutDisplay();
        if (type != QtFatalMsg) {
            heldMessages().append({type, QByteArray(context.category), text});
            return;
        }
    }
    g_previous(type, context, text);
}

// Runs inside QApplication's constructor once the platform plugin is up.
void platformStarted()
{
    g_platformUp = true;
    if (!g_previous)
        return;
    for (const HeldMessage &message : std::as_const(heldMessages())) {
        const char *category = message.category.isNull() ? nullptr : message.category.constData();
        const QMessageLogContext context(nullptr, 0, nullptr, category);
        g_previous(message.type, context, message.text);
    }
    heldMessages().clear();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(platformStarted)

void exitCleanlyWithoutDisplay(bool quiet)
{
    g_quiet = quiet;
    if (!g_previous)
        g_previous = qInstallMessageHandler(handleMessage);
}
