#include "app/Application.h"
#include "app/Icons.h"
#include "app/MainForm.h"
#include "platform/SettingsLocation.h"
#include "platform/UnixSignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Clips play through GStreamer, which also plays MIDI; the user may choose otherwise.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lumivo"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    // The program ends when the main window closes, not when its last window does: the main
    // window may be hidden in the tray while the display window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ProgramIcon());

    CreateApplicationWindows(SettingsFilePath(QCoreApplication::applicationFilePath()));
    // A logout, kill or Ctrl+C ends the event loop as the exit button does: settings are saved.
    UnixTerminationSignals terminationSignals([] { QCoreApplication::exit(0); });

    MainForm->show();
    const int result = app.exec();
    DestroyApplicationWindows();
    return result;
}
