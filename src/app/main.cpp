#include "app/DisplayCheck.h"
#include "app/frmMain.h"

#include <QApplication>

#include <cstdio>

namespace {

int printInformation(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // --help and --version need no display; asked for after Qt's own options they
    // are answered once QApplication has removed those.
    if (const auto text = informationRequest(argc, argv))
        return printInformation(*text);

    QApplication::setStyle(QStringLiteral("Fusion"));
    exitCleanlyWithoutDisplay();
    QApplication app(argc, argv);
    if (const auto text = informationRequest(argc, argv))
        return printInformation(*text);

    frmMain window;
    QString reason;
    if (!window.setupForm(argc, argv, &reason)) {
        const QByteArray line = QByteArrayLiteral("kiv: ") + QByteArray(argv[1]) + ": "
                                + reason.toUtf8() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        return 1;
    }
    window.setVisible(true);
    return app.exec();
}
