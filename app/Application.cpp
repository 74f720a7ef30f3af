#include "app/Application.h"

#include "app/AboutDialog.h"
#include "app/HelpDialog.h"
#include "app/LinksDialog.h"
#include "app/MainForm.h"
#include "core/HandlerGuard.h"
#include "core/Quit.h"
#include "decor/AnimatedPointer.h"
#include "playlist/PlayListBox.h"
#include "playlist/PlaylistWizard.h"
#include "presentation/DisplayWindow.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PictureLoader.h"
#include "presentation/Present.h"
#include "presentation/PresentationGate.h"
#include "slideshow/SlideIntervalDialog.h"
#include "slideshow/SlideShow.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>

void CreateDisplayWindow()
{
    if (DisplayWindow)
        return;
    ClearQuitRequest();
    DisplayWindow = new TDisplayWindow;
    // What the display window asks of the main window. It may be on screen a moment before
    // the main window is made; a key pressed then does nothing.
    DisplayWindow->StartSlideShow = [] {
        if (MainForm)
            MainForm->StartSlideShowItem->trigger();
    };
    DisplayWindow->StopSlideShow = [] {
        if (MainForm)
            MainForm->StopSlideShowItem->trigger();
    };
    DisplayWindow->ShowIntervalDialog = [] {
        if (MainForm)
            MainForm->SlideIntervalItem->trigger();
    };
    DisplayWindow->SetFullScreenMode = [](bool on) {
        if (MainForm)
            MainForm->FullScreenBox->setChecked(on);
    };
}

void CreateApplicationWindows(const QString& settingsFile)
{
    CreateDisplayWindow();
    MainForm = new TMainForm(settingsFile);
    // The dialogs that start hidden are made when first opened, and kept from then on.
    AboutDialog.Provide([] { return new TAboutDialog; });
    HelpDialog.Provide([] { return new THelpDialog; });
    AnimatedPointer = new TAnimatedPointer;
    LinksDialog.Provide([] { return new TLinksDialog; });

    // The slide show steps through the main window's playlist; its items are presented in
    // the display window, in full screen when the main window says so.
    auto* show = new TSlideShow(MainForm->PlayList, MainForm);
    show->PresentRequested = [](const QString& fileName, TMediaKind kind) {
        PresentFile(*DisplayWindow, fileName, kind, MainForm->FullScreenBox->isChecked(), false);
    };
    show->PreloadRequested = [](const QString& fileName) {
        const QScreen* screen = DisplayWindow->screen() ? DisplayWindow->screen() : QGuiApplication::primaryScreen();
        PreloadPicture(fileName, PictureDecodeSize(screen, MainForm->FullScreenBox->isChecked()));
    };
    MainForm->SlideShow = show;
    QObject::connect(DisplayWindow->MediaPlayer, &TMediaPlayer::Notify, show, [show](int status) {
        presentation::RunGuardedWhenIdle(show, [show, status] { show->Continue(status); });
    });
    SlideIntervalDialog.Provide([show] {
        auto* dialog = new TSlideIntervalDialog;
        dialog->SetSlideInterval = [show](int seconds) { show->SlideInterval = seconds; };
        return dialog;
    });
    // The wizard lists the folder the program started in, wherever the file dialogs have
    // moved the current folder by the time it is first opened.
    PlaylistWizard.Provide([startFolder = QDir::currentPath()] {
        auto* wizard = new TPlaylistWizard(startFolder);
        wizard->PlayList = MainForm->PlayList;
        return wizard;
    });
    QObject::connect(MainForm, &TMainForm::Closed, qApp, [] { RequestQuit(0); });
}

namespace {
template <class T>
void Destroy(T*& instance)
{
    delete instance;
    instance = nullptr;
}
} // namespace

void DestroyApplicationWindows()
{
    if (MainForm)
        GuardedAtExit([] { MainForm->FormDestroy(); });
    PlaylistWizard.Destroy();
    SlideIntervalDialog.Destroy();
    Destroy(DisplayWindow);
    LinksDialog.Destroy();
    Destroy(AnimatedPointer);
    HelpDialog.Destroy();
    AboutDialog.Destroy();
    Destroy(MainForm);
}
