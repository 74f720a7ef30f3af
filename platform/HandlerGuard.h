#pragma once

// Every event handler runs inside Guarded(): an exception that leaves the handler ends it
// there and its message is shown in the standard error dialog (unless the program is
// ending). No exception ever crosses Qt's event loop.

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Quit.h"

#include <QObject>
#include <QString>

#include <exception>
#include <new>
#include <utility>

template <class F>
void Guarded(F&& handler) noexcept
{
    QString message;
    try {
        std::forward<F>(handler)();
        return;
    } catch (const ELumivoError& e) {
        message = e.Message;
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    if (QuitRequested())
        return; // the program is ending: a load it stopped is no error to show
    try {
        Dialogs::ShowError(message);
    } catch (...) {
        // Nothing sensible is left to do when even the error dialog fails.
    }
}

// Connects a signal to a handler that runs inside Guarded().
template <class Sender, class Signal, class F>
void ConnectGuarded(Sender* sender, Signal signal, QObject* context, F handler)
{
    QObject::connect(sender, signal, context, [handler](auto&&...) { Guarded(handler); });
}
