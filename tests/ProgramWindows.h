#pragma once

// The program's windows for a test, made and ended as the program makes and ends them, and
// reached through their owner.

#include "app/AboutDialog.h"
#include "app/Application.h"
#include "app/HelpDialog.h"
#include "app/LinksDialog.h"
#include "app/MainForm.h"
#include "decor/AnimatedPointer.h"
#include "playlist/PlaylistWizard.h"
#include "presentation/DisplayWindow.h"
#include "slideshow/SlideIntervalDialog.h"

#include <memory>

inline std::unique_ptr<TProgramWindows>& TestWindows()
{
    static std::unique_ptr<TProgramWindows> windows;
    return windows;
}

inline void CreateApplicationWindows(const QString& settingsFile)
{
    TestWindows() = std::make_unique<TProgramWindows>(settingsFile);
    TestWindows()->CreateMainWindow();
}

// The main window writes its settings, then every window ends.
inline void DestroyApplicationWindows() { TestWindows().reset(); }

inline TMainForm* Main() { return TestWindows() ? TestWindows()->MainWindow() : nullptr; }
inline TDisplayWindow* DisplayWin() { return TestWindows() ? TestWindows()->DisplayWindow() : nullptr; }
inline TAnimatedPointer* Pointer() { return TestWindows() ? TestWindows()->Pointer() : nullptr; }
inline TOnFirstUse<TAboutDialog>& About() { return TestWindows()->About(); }
inline TOnFirstUse<THelpDialog>& Help() { return TestWindows()->Help(); }
inline TOnFirstUse<TLinksDialog>& Links() { return TestWindows()->Links(); }
inline TOnFirstUse<TSlideIntervalDialog>& SlideInterval() { return TestWindows()->SlideInterval(); }
inline TOnFirstUse<TPlaylistWizard>& Wizard() { return TestWindows()->Wizard(); }

// A control of a window, by its object name.
template <class T>
T* ChildOf(QObject* window, const char* name)
{
    return window->findChild<T*>(QLatin1String(name));
}

// A control of the display window, by its object name.
template <class T>
T* DisplayControl(const char* name)
{
    return ChildOf<T>(DisplayWin(), name);
}

// A control of the main window, by its object name.
template <class T>
T* MainControl(const char* name)
{
    return ChildOf<T>(Main(), name);
}
