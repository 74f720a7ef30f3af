#pragma once

// Every event handler runs inside Guarded(): an exception that leaves the handler ends it
// there and its message is shown in the standard error dialog (unless the program is
// ending). No exception ever crosses Qt's event loop.

#include "core/Dialogs.h"
#include "core/Errors.h"
#include "core/Quit.h"

#include <QObject>
#include <QString>

#include <exception>
#include <new>
#include <optional>
#include <utility>

// Runs handler; the message of an exception that left it, if one did.
template <class F>
std::optional<QString> ErrorOf(F&& handler) noexcept
{
    try {
        std::forward<F>(handler)();
        return std::nullopt;
    } catch (const ELumivoError& e) {
        return e.Message;
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

inline void ShowErrorDialog(const QString& message) noexcept
{
    try {
        Dialogs::ShowError(message);
    } catch (...) {
        // Nothing sensible is left to do when even the error dialog fails.
    }
}

template <class F>
void Guarded(F&& handler) noexcept
{
    const std::optional<QString> message = ErrorOf(std::forward<F>(handler));
    if (message && !QuitRequested()) // once the program is ending, a load it stopped is no error to show
        ShowErrorDialog(*message);
}

// For what the program does as it ends on its user's command (writing the settings): a
// failure is shown, so that nothing is lost without a word. Only a termination signal
// ends the program without a dialog.
template <class F>
void GuardedAtExit(F&& handler) noexcept
{
    const std::optional<QString> message = ErrorOf(std::forward<F>(handler));
    if (message && !QuitBySignal())
        ShowErrorDialog(*message);
}

// Connects a signal to a handler that runs inside Guarded().
template <class Sender, class Signal, class F>
void ConnectGuarded(Sender* sender, Signal signal, QObject* context, F handler)
{
    QObject::connect(sender, signal, context, [handler](auto&&...) { Guarded(handler); });
}
