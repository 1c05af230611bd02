#include "app/frmMain.h"

#include <cstring>

QByteArray usageText()
{
    return QByteArrayLiteral(
        "Usage: kiv FILE.mc                  show the form that FILE.mc describes\n"
        "       kiv                          show the launcher, which picks an mc file\n"
        "                                    and starts kiv on it\n"
        "       kiv -show [LINE1 [LINE2]]    show a notice with LINE2 above LINE1\n"
        "                                    and an OK button\n"
        "       kiv --help | --version\n"
        "\n"
        "Qt's own options (for example -platform, -display, -style) may come first.\n"
        "Windows open on X11 (DISPLAY) or natively on Wayland (WAYLAND_DISPLAY).\n"
        "\n"
        "mc tags:\n"
        "  label textlog img                 display elements\n"
        "  button text textbox global        commands and text variables\n"
        "  checkbox combobox iconlist file   further bound widgets\n"
        "  vlayout hlayout scrolllayout tab  containers (tab pages: title)\n"
        "  config                            groups elements without a widget\n"
        "Common attributes: width, height (minimum size); var binds a variable.\n"
        "\n"
        "Documentation: " KIV_DOC_URL "\n");
}

QByteArray documentationAddress() { return QByteArrayLiteral(KIV_DOC_URL); }

QByteArray versionText() { return QByteArrayLiteral("kiv " KIV_VERSION "\n"); }

std::optional<QByteArray> informationRequest(int argc, char **argv)
{
    if (argc < 2 || !argv || !argv[1])
        return std::nullopt;
    if (std::strcmp(argv[1], "--help") == 0)
        return usageText();
    if (std::strcmp(argv[1], "--version") == 0)
        return versionText();
    return std::nullopt;
}
