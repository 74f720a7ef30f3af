#pragma once

// What screen readers are told about the program's controls.

class QWidget;

// Roles Qt cannot know: a link label is a link that can be pressed, and a window of our
// own that is neither a main window nor a dialog is a frame. Installed once at start-up.
void InstallAccessibleRoles();

// Gives every control of the window that has no accessible name of its own, and no
// caption to be read, its hint as the name (without a trailing "..."). Run once its
// controls are made.
void NameControlsByTheirHints(QWidget* window);
