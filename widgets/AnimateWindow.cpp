#include "widgets/AnimateWindow.h"

#include <QGuiApplication>
#include <QRegion>
#include <QVariantAnimation>
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

namespace {

const char AnimationName[] = "lumivo-window-animation";

// Ends an animation of the window that is running: the window stays as it is now (shown),
// at full opacity and unmasked.
void Cancel(QWidget* window)
{
    auto* running = window->findChild<QVariantAnimation*>(QLatin1String(AnimationName), Qt::FindDirectChildrenOnly);
    if (!running)
        return;
    running->disconnect();
    running->stop();
    running->deleteLater();
    window->setWindowOpacity(1.0);
    window->clearMask();
}

} // namespace

void CancelWindowAnimation(QWidget* window)
{
    if (window)
        Cancel(window);
}

bool AnimateWindow(QWidget* window, int durationMs, unsigned flags, std::function<void(bool)> setVisible)
{
    using namespace AnimateFlags;
    if (!window)
        return false;
    const bool hide = flags & Hide;
    const bool wasAnimating = window->findChild<QVariantAnimation*>(QLatin1String(AnimationName), Qt::FindDirectChildrenOnly);
    Cancel(window);
    if (window->isVisible() != hide)
        return wasAnimating; // a hide cut short by a show leaves the window shown
    if (!setVisible)
        setVisible = [window](bool visible) { window->setVisible(visible); };

    xcb_connection_t* connection = X11Connection();
    const bool fade = flags & Blend;
    const bool roll = (flags & (VerPositive | VerNegative)) && !fade;
    const bool canAnimate = connection && durationMs > 0 && (fade ? HasCompositor(connection) : roll);
    const bool upward = flags & VerNegative;

    if (!hide) {
        if (canAnimate && fade)
            window->setWindowOpacity(0.0);
        if (canAnimate && roll)
            window->setMask(RollRegion(window->size(), 0.0, true, upward));
        setVisible(true);
        if (flags & Activate) {
            window->raise();
            window->activateWindow();
        }
    }
    if (!canAnimate) {
        if (hide)
            setVisible(false);
        return true;
    }
    // The effect runs on the event loop: the program goes on answering meanwhile, and a
    // window being hidden disappears when it ends.
    auto* animation = new QVariantAnimation(window);
    animation->setObjectName(QLatin1String(AnimationName));
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(durationMs);
    const QSize size = window->size();
    QObject::connect(animation, &QVariantAnimation::valueChanged, window, [=](const QVariant& value) {
        const double t = value.toDouble();
        if (fade)
            window->setWindowOpacity(hide ? 1.0 - t : t);
        else
            window->setMask(RollRegion(size, t, !hide, upward));
    });
    QObject::connect(animation, &QVariantAnimation::finished, window, [=] {
        animation->disconnect();
        animation->deleteLater();
        if (hide)
            setVisible(false);
        window->setWindowOpacity(1.0);
        window->clearMask();
    });
    animation->start();
    return true;
}
