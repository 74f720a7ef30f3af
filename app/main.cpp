#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/EarlyPicture.h"
#include "app/Icons.h"
#include "app/MainForm.h"
#include "clips/ClipEngine.h"
#include "core/AppTitle.h"
#include "core/HandlerGuard.h"
#include "core/Quit.h"
#include "core/ToolkitTexts.h"
#include "playlist/MediaKind.h"
#include "playlist/PlaylistFile.h"
#include "presentation/DisplayWindow.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PictureLoader.h"
#include "presentation/Present.h"
#include "presentation/PresentationGate.h"
#include "system/DisplayGuard.h"
#include "system/SettingsLocation.h"
#include "system/SingleInstance.h"
#include "system/StartupWarmUp.h"
#include "system/UnixSignals.h"
#include "widgets/Accessibility.h"
#include "widgets/WindowGeometry.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <malloc.h>
#include <optional>
#include <utility>

int main(int argc, char* argv[])
{
    // Few malloc arenas: every clip's pipeline runs on new threads, and with an arena for
    // each (up to eight a core) the memory they free stayed spread over them, so a long show
    // of clips kept growing.
    mallopt(M_ARENA_MAX, 2);

    PreferX11WhereWindowsHavePositions();

    // --help and --version answer without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    int exitCode = 0;
    const std::optional<TCommandLine> commandLine = ParseCommandLine(arguments, exitCode);
    if (!commandLine)
        return exitCode;
    // A clip to be shown first: its process starts at once, to load its libraries while the
    // toolkit starts (it ends with this program, if another running one takes the request).
    if ((commandLine->SlideShow || commandLine->Show) && !commandLine->Files.isEmpty() &&
        ClassifyMediaFile(commandLine->Files.first()) == mkClip)
        StartClipProcessAhead(TMediaPlayer::EngineOptions);

    // The toolkit sees only the program's name: every other argument is the program's own,
    // and a file named "-platform" or "-reverse" stays a file name.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    // The fonts are set up beside the toolkit, unless the first paint is a picture without
    // text: on two cores, that work done beside the toolkit's start would only delay it.
    if (!FirstPictureMayShowEarly(commandLine->Files, commandLine->Show, commandLine->SlideShow))
        WarmUpFonts();
    // The menu bar stays in the main window, whose layout is made for it, also where the
    // desktop offers a global menu bar.
    QApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    std::optional<TDisplayGuard> displayGuard(std::in_place);
    QApplication app(toolkitArgc, toolkitArgv);
    // The toolkit took the user's locale for the C library too; numbers the program or its
    // libraries write or read with it (libjpeg's messages, libmpv's options) keep a point.
    std::setlocale(LC_NUMERIC, "C");
    displayGuard.reset();
    QApplication::setApplicationName(QStringLiteral("lumivo"));
    QApplication::setApplicationVersion(QStringLiteral(LUMIVO_VERSION));
    // The program ends when the main window closes, not when its last window does: the main
    // window may be hidden in the tray while the display window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ProgramIcon());
    InstallToolkitTexts();
    InstallAccessibleRoles();

    const QString settingsFile = SettingsFilePath(QCoreApplication::applicationFilePath());
    // A program already running with these settings takes this start's request: its window
    // comes back (also from the tray) and the files join its playlist.
    TInstanceRequest request;
    request.SlideShow = commandLine->SlideShow;
    request.Show = commandLine->Show;
    for (const QString& file : commandLine->Files)
        request.Files << QFileInfo(file).absoluteFilePath();
    switch (TSingleInstance::SendToRunning(settingsFile, request)) {
    case TSingleInstance::SendResult::Delivered:
        return 0;
    case TSingleInstance::SendResult::NotAnswering:
        // A busy or stopped program is never replaced by a second one: both would write
        // the same settings file. The request waits in its socket until it answers.
        std::fprintf(stderr, "lumivo: the running Lumivo does not answer; it takes this request when it can.\n");
        return 1;
    case TSingleInstance::SendResult::NoServer:
    case TSingleInstance::SendResult::Unavailable:
        break;
    }
    WarmUpSessionBus();
    RemoveLinksOfEndedPrograms();
    // The first file is a picture to be shown: it is decoded on a worker thread meanwhile.
    if ((commandLine->SlideShow || commandLine->Show) && !request.Files.isEmpty() &&
        ClassifyMediaFile(request.Files.first()) != mkClip)
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            PreloadPicture(request.Files.first(), PictureDecodeSize(screen, false));
    TProgramWindows windows(settingsFile);
    // A second start's request waits until the main window is there to take it.
    QList<TInstanceRequest> waiting;
    TSingleInstance instance(settingsFile, [&windows, &waiting](const TInstanceRequest& requested) {
        TMainForm* mainWindow = windows.MainWindow();
        if (!mainWindow) {
            waiting << requested;
            return;
        }
        presentation::RunWhenIdle(mainWindow, [mainWindow, requested] {
            mainWindow->ComeBackClick();
            mainWindow->TakeFiles(requested.Files, requested.Show, requested.SlideShow);
        });
    });
    // A logout, kill or Ctrl+C ends the event loop as the exit button does: settings are saved.
    UnixTerminationSignals terminationSignals([] { RequestQuit(0); });

    const auto createMainWindow = [&windows, request, &waiting] {
        windows.CreateMainWindow();
        TMainForm* mainWindow = windows.MainWindow();
        mainWindow->show();
        // Files named on the command line join the playlist once the window is up, so that
        // a playlist that cannot be read is reported over it.
        QTimer::singleShot(0, mainWindow, [mainWindow, request, &waiting] {
            mainWindow->TakeFiles(request.Files, request.Show, request.SlideShow);
            for (const TInstanceRequest& requested : std::exchange(waiting, {})) {
                mainWindow->ComeBackClick();
                mainWindow->TakeFiles(requested.Files, requested.Show, requested.SlideShow);
            }
        });
    };
    if (ShowFirstPictureEarly(windows, request.Files, request.Show, request.SlideShow))
        // The main window is made once the picture is on the screen (or has had time to be),
        // after the display window's strip is complete.
        WhenFirstPainted(windows.DisplayWindow(), [&windows, createMainWindow] {
            windows.DisplayWindow()->CompleteStrip();
            createMainWindow();
        });
    else
        createMainWindow();
    return QuitRequested() ? 0 : app.exec(); // a signal may have come while the picture loaded
}
