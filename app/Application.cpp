#include "app/Application.h"

#include "app/AboutDialog.h"
#include "app/HelpDialog.h"
#include "app/LinksDialog.h"
#include "app/MainForm.h"
#include "clips/ClipEngine.h"
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
#include "widgets/WindowGeometry.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>

#include <utility>

TProgramWindows::TProgramWindows(QString settingsFile) : m_settingsFile(std::move(settingsFile)) { ClearQuitRequest(); }

void TProgramWindows::CreateDisplayWindow(TDisplayWindow::TStripButtons buttons)
{
    if (m_display)
        return;
    m_display = new TDisplayWindow(nullptr, buttons);
    // What the display window asks of the main window. It may be on screen a moment before
    // the main window is made; a key pressed then does nothing.
    m_display->StartSlideShow = [this] {
        if (m_main)
            m_main->StartSlideShowClick();
    };
    m_display->StopSlideShow = [this] {
        if (m_main)
            m_main->StopSlideShowClick();
    };
    m_display->ShowIntervalDialog = [this] {
        if (m_main)
            m_main->SlideIntervalClick();
    };
    m_display->SetFullScreenMode = [this](bool on) {
        if (m_main)
            m_main->ChooseFullScreen(on);
    };
}

void TProgramWindows::CreateMainWindow()
{
    CreateDisplayWindow();
    m_main = new TMainForm(m_settingsFile);
    // The dialogs that start hidden are made when first opened, and kept from then on.
    m_about.Provide([] { return new TAboutDialog; });
    m_help.Provide([] { return new THelpDialog; });
    m_pointer = new TAnimatedPointer;
    m_links.Provide([] { return new TLinksDialog; });

    // The slide show steps through the main window's playlist; its items are presented in
    // the display window, in full screen when the main window says so.
    m_slideShow = new TSlideShow(m_main->Playlist(), m_main);
    m_slideShow->PresentRequested = [this](const QString& fileName, TMediaKind kind) {
        PresentFile(*m_display, fileName, kind, m_main->FullScreenChosen(), false);
    };
    m_slideShow->PreloadRequested = [this](const QString& fileName, TMediaKind kind) {
        if (kind == mkClip)
            StartClipProcessAhead(TMediaPlayer::EngineOptions);
        else
            PreloadPicture(fileName, PictureDecodeSize(ScreenOf(m_display), m_main->FullScreenChosen()));
    };
    m_main->SetSlideShow(m_slideShow);
    TSlideShow* show = m_slideShow;
    QObject::connect(m_display, &TDisplayWindow::ClipReported, show, [show](int status) {
        presentation::RunGuardedWhenIdle(show, [show, status] { show->Continue(status); });
    });
    m_slideInterval.Provide([show] {
        auto* dialog = new TSlideIntervalDialog;
        dialog->SetSlideInterval = [show](int seconds) { show->SlideInterval = seconds; };
        return dialog;
    });
    // The wizard lists the folder the program started in, wherever the file dialogs have
    // moved the current folder by the time it is first opened.
    m_wizard.Provide([this, startFolder = QDir::currentPath()] {
        auto* wizard = new TPlaylistWizard(startFolder);
        wizard->SetTargetPlaylist(m_main->Playlist());
        return wizard;
    });
    WireMainWindow();
    QObject::connect(m_main, &TMainForm::Closed, qApp, [] { RequestQuit(0); });
}

void TProgramWindows::WireMainWindow()
{
    // What the main window's commands ask of the other windows.
    m_main->Present = [this](const QString& fileName, TMediaKind kind) {
        PresentFile(*m_display, fileName, kind, m_main->FullScreenChosen());
    };
    m_main->SetDisplayFullScreen = [this](bool on) { SetFullScreen(*m_display, on); };
    m_main->AnimatePointer = [this](bool on) { m_pointer->start(on); };
    m_main->ShowAbout = [this] { m_about->exec(); };
    m_main->ShowHelp = [this] { m_help->exec(); };
    m_main->ShowLinks = [this] {
        m_links->show();
        m_links->raise();
        m_links->activateWindow();
    };
    m_main->ShowSlideInterval = [this] { m_slideInterval->exec(); };
    m_main->ShowPlaylistWizard = [this] { m_wizard->exec(); };
}

TProgramWindows::~TProgramWindows()
{
    if (m_main)
        GuardedAtExit([this] { m_main->FormDestroy(); });
    m_wizard.Destroy();
    m_slideInterval.Destroy();
    delete std::exchange(m_display, nullptr);
    m_links.Destroy();
    delete std::exchange(m_pointer, nullptr);
    m_help.Destroy();
    m_about.Destroy();
    m_slideShow = nullptr; // a child of the main window
    delete std::exchange(m_main, nullptr);
}
