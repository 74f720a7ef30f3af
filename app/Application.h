#pragma once

#include <QString>

// Creates the program's windows once: the main window (which reads the settings file), the
// cursor module and the display window now; the About dialog, the help dialog, the links
// dialog, the interval dialog and the playlist wizard when each is first reached. Each is
// reached through its single program-wide instance (MainForm, AboutDialog, HelpDialog, AnimatedPointer,
// LinksDialog, DisplayWindow, SlideIntervalDialog, PlaylistWizard). Only the main window is shown, by the caller.
void CreateApplicationWindows(const QString& settingsFile);

// Makes the display window alone (once), so that a picture named on the command line can
// be shown while the main window is still being built; CreateApplicationWindows keeps it.
void CreateDisplayWindow();

// Ends the program's windows: the main window writes its settings (a failure is shown in
// the standard error dialog), then every window is destroyed.
void DestroyApplicationWindows();
