#pragma once

// Ending the program. Every way out (the menus, closing the main window, SIGTERM, SIGINT,
// SIGHUP) asks through here, and every long operation (a GIF decode, a picture or metafile
// load, a clip's open) asks QuitRequested() as it goes, so that it stops within a moment
// and the program ends with its settings written. Once the program is ending, errors are
// no longer shown in dialogs.

// Ends the event loop with exitCode and marks the program as ending.
void RequestQuit(int exitCode = 0);

// True once RequestQuit ran or a termination signal arrived (set by the signal handler
// itself, so a load that lets no messages run still sees it).
bool QuitRequested();

// True once a termination signal arrived: the program ends without asking anything.
bool QuitBySignal();

// A new start of the program's windows: nothing is ending.
void ClearQuitRequest();

// For the signal handler: async-signal-safe.
void NoteTerminationSignal();
