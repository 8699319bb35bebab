// Entry point of the desktop program: the application object, the main window, and the exit code the
// unattended mode sets.
#include <QApplication>
#include <QTimer>

#include "gui/mainform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wavetrove"));

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
