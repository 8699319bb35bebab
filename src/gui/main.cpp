// Entry point of the desktop program: the answers that need no window (--help, --version, --check-updates,
// and a clear word when there is no display), the application object, the main window, and the exit code the
// unattended mode sets.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "gui/mainform.h"
#include "gui/versioncheck.h"

namespace {

const char* kUsage =
    "usage: wavetrove [PATH]...\n"
    "       wavetrove /AUTOMATE PATH...\n"
    "  PATH        files, folders and M3U/PLS playlists to add to the conversion list\n"
    "  /AUTOMATE   convert the given files with the stored settings and exit, without showing the window\n"
    "  --help      this text\n"
    "  --version   the program's name and version\n"
    "  --check-updates\n"
    "              ask the update service for the latest version; exit 1 when that fails\n"
    "Without a display, use wavetrove-cli, or QT_QPA_PLATFORM=offscreen wavetrove /AUTOMATE PATH...\n";

void NoDisplay(const std::string& why) {
    std::fprintf(stderr,
                 "wavetrove: no display to show the window on (%s); without one use wavetrove-cli, or "
                 "QT_QPA_PLATFORM=offscreen wavetrove /AUTOMATE PATH...\n",
                 why.c_str());
}

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// While the application object is built: Qt's platform messages are held back, and its fatal "no platform
// plugin could be initialized" (a display that is named but cannot be reached) becomes the one clear line.
std::vector<std::pair<QtMsgType, std::string>> gHeld;
QtMessageHandler gPrevious = nullptr;

void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg && !Set("QT_QPA_PLATFORM")) {
        NoDisplay(Set("DISPLAY") ? std::string("cannot open display ") + std::getenv("DISPLAY")
                                 : std::string("cannot open a display"));
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (type != QtFatalMsg && context.category && std::strncmp(context.category, "qt.qpa", 6) == 0) {
        gHeld.emplace_back(type, text.toStdString());
        return;
    }
    if (gPrevious) gPrevious(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("%s", kUsage);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Wavetrove %s\n", WAVETROVE_VERSION);
        return 0;
    }
    // The update check alone: no window and no display needed.
    if (argc == 2 && std::strcmp(argv[1], "--check-updates") == 0) return CheckUpdatesOnConsole(argc, argv);
    // Qt would end in an abort and a core dump; a chosen platform (offscreen, say) is left to Qt.
    if (!Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
        NoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
        return 1;
    }

    gPrevious = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(gPrevious);
    for (const auto& [type, text] : gHeld)
        qt_message_output(type, QMessageLogContext(), QString::fromStdString(text));
    gHeld.clear();
    QApplication::setApplicationName(QStringLiteral("Wavetrove"));
    // Lets the desktop match the window to its menu entry and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral(WAVETROVE_APP_ID));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    Tmainform mainform(arguments);
    if (!arguments.isEmpty() && Tmainform::IsAutomateArgument(arguments.first())) {
        // Unattended: the window is never shown; its first display runs without it.
        QTimer::singleShot(0, &mainform, &Tmainform::FormShow);
    } else {
        mainform.show();
    }
    const int code = app.exec();
    return mainform.Automated() ? mainform.ExitCode() : code;
}
