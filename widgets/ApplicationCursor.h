#pragma once

// The application cursor table and the application-wide cursor. Index 0 is the default
// pointer (each control shows its own), negative indices are the built-in cursors, positive
// ones are registered by the program. A non-zero application-wide cursor overrides the
// pointer of every window of the program.

#include <QCursor>

inline constexpr int crDefault = 0;
inline constexpr int crHourGlass = -11;

// Registers cursor under index (> 0), replacing what was there.
void RegisterApplicationCursor(int index, const QCursor& cursor);
// The cursor of an index; an index nobody registered yields the default pointer.
QCursor ApplicationCursorAt(int index);
bool IsApplicationCursorRegistered(int index);

// Sets the application-wide cursor to an index of the table (crDefault: none).
void SetApplicationWideCursor(int index);
int ApplicationWideCursor();
