#pragma once

// The owner of the program's windows. It makes them, wires what each asks of the others
// (the windows do not know each other: each says what it needs through its hooks), and
// ends them. One instance lives in main(); nothing else reaches the windows.
//
// The main window (which reads the settings file), the cursor module and the display window
// are made at start; the About, help and links dialogs, the interval dialog and the playlist
// wizard when each is first opened.

#include "core/OnFirstUse.h"
#include "presentation/DisplayWindow.h"

#include <QString>

class TAboutDialog;
class TAnimatedPointer;
class THelpDialog;
class TLinksDialog;
class TMainForm;
class TPlaylistWizard;
class TSlideIntervalDialog;
class TSlideShow;

class TProgramWindows {
public:
    explicit TProgramWindows(QString settingsFile);
    // The main window writes its settings (a failure is shown in the standard error
    // dialog), then every window is ended.
    ~TProgramWindows();
    TProgramWindows(const TProgramWindows&) = delete;
    TProgramWindows& operator=(const TProgramWindows&) = delete;

    // The display window alone (once), so that a picture named on the command line can be
    // shown while the main window is still being made.
    void CreateDisplayWindow(TDisplayWindow::TStripButtons buttons = TDisplayWindow::TStripButtons::Now);
    // Every window (the display window too, if it is not there yet).
    void CreateMainWindow();

    TMainForm* MainWindow() const { return m_main; }
    TDisplayWindow* DisplayWindow() const { return m_display; }
    TAnimatedPointer* Pointer() const { return m_pointer; }
    TSlideShow* SlideShow() const { return m_slideShow; }
    TOnFirstUse<TAboutDialog>& About() { return m_about; }
    TOnFirstUse<THelpDialog>& Help() { return m_help; }
    TOnFirstUse<TLinksDialog>& Links() { return m_links; }
    TOnFirstUse<TSlideIntervalDialog>& SlideInterval() { return m_slideInterval; }
    TOnFirstUse<TPlaylistWizard>& Wizard() { return m_wizard; }

private:
    void WireMainWindow();

    QString m_settingsFile;
    TMainForm* m_main = nullptr;
    TDisplayWindow* m_display = nullptr;
    TAnimatedPointer* m_pointer = nullptr;
    TSlideShow* m_slideShow = nullptr;
    TOnFirstUse<TAboutDialog> m_about;
    TOnFirstUse<THelpDialog> m_help;
    TOnFirstUse<TLinksDialog> m_links;
    TOnFirstUse<TSlideIntervalDialog> m_slideInterval;
    TOnFirstUse<TPlaylistWizard> m_wizard;
};
