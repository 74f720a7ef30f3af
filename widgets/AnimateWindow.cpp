#include "widgets/AnimateWindow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRegion>
#include <QThread>
#include <QWidget>

#include <xcb/xcb.h>

#include <functional>

namespace {

xcb_connection_t* X11Connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// A fade needs a compositing manager, which owns the selection _NET_WM_CM_S<screen>.
bool HasCompositor(xcb_connection_t* connection)
{
    const char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
    if (!atom)
        return false;
    bool owned = false;
    if (atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        owned = owner && owner->owner != XCB_WINDOW_NONE;
        free(owner);
    }
    free(atom);
    return owned;
}

// Runs step(progress 0..1) for the duration, pushing each change to the X server. Window
// messages are not processed meanwhile, as the call this stands in for does not either.
void Run(xcb_connection_t* connection, int durationMs, const std::function<void(double)>& step)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        double t = durationMs > 0 ? double(clock.elapsed()) / durationMs : 1.0;
        step(qMin(t, 1.0));
        xcb_flush(connection);
        if (t >= 1.0)
            break;
        QThread::msleep(10);
    }
}

// The visible strip of a rolling window at progress t. "Negative" rolls upward: shown, the
// window grows from its bottom edge; hidden, it shrinks toward its top edge. "Positive" is
// the reverse.
QRegion RollRegion(const QSize& size, double t, bool reveal, bool upward)
{
    const int h = size.height();
    const int visible = qBound(1, int(reveal ? t * h : (1.0 - t) * h), h);
    const bool anchoredAtBottom = reveal == upward;
    return QRegion(0, anchoredAtBottom ? h - visible : 0, size.width(), visible);
}

} // namespace

bool AnimateWindow(QWidget* window, int durationMs, unsigned flags)
{
    using namespace AnimateFlags;
    const bool hide = flags & Hide;
    if (!window || window->isVisible() != hide)
        return false;

    xcb_connection_t* connection = X11Connection();
    const bool fade = flags & Blend;
    const bool roll = (flags & (VerPositive | VerNegative)) && !fade;
    const bool canAnimate = connection && (fade ? HasCompositor(connection) : roll);

    if (!hide) {
        if (canAnimate && fade)
            window->setWindowOpacity(0.0);
        if (canAnimate && roll)
            window->setMask(RollRegion(window->size(), 0.0, true, flags & VerNegative));
        window->show();
        if (flags & Activate) {
            window->raise();
            window->activateWindow();
        }
    }
    if (canAnimate) {
        const QSize size = window->size();
        Run(connection, durationMs, [&](double t) {
            if (fade)
                window->setWindowOpacity(hide ? 1.0 - t : t);
            else
                window->setMask(RollRegion(size, t, !hide, flags & VerNegative));
        });
    }
    if (hide)
        window->hide();
    if (canAnimate) {
        if (fade)
            window->setWindowOpacity(1.0);
        else
            window->clearMask();
    }
    return true;
}
