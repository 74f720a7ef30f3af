#pragma once

// Message boxes of the program go through this seam, so that tests can answer them
// instead of waiting on a real modal dialog.

#include <QString>

#include <functional>

namespace Dialogs {

enum class Kind {
    Error,   // the standard error dialog for an exception that ended a handler
    Message, // a plain message box with an OK button
};

using Handler = std::function<void(Kind, const QString& text)>;

// Replaces how message boxes are shown; an empty handler restores the real QMessageBox.
// Returns the handler that was installed before.
Handler SetHandler(Handler handler);

void ShowError(const QString& text);
void ShowMessage(const QString& text);

} // namespace Dialogs
