#include "widgets/WindowCaption.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

const char* const CaptionProperty = "lumivoExactCaption";

// Qt keeps "[*][*]" as a literal "[*]".
QString Escaped(const QString& caption)
{
    QString title = caption;
    title.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    return title;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// An empty title on X11: Qt would put the application's name there, so the window's name
// properties are emptied directly once the window exists.
void EmptyX11Title(QWidget* window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !window->windowHandle())
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_VISIBLE_NAME"})
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, Atom(connection, name), utf8, 8, 0, "");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    xcb_flush(connection);
}

class EmptyTitleKeeper : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        if ((event->type() == QEvent::Show || event->type() == QEvent::WinIdChange) &&
            ExactCaption(window).isEmpty()) {
            // After the platform window has set its own title on showing.
            QTimer::singleShot(0, window, [window] {
                if (ExactCaption(window).isEmpty())
                    EmptyX11Title(window);
            });
        }
        return false;
    }
};

} // namespace

void SetExactCaption(QWidget* window, const QString& caption)
{
    window->setProperty(CaptionProperty, caption);
    window->setWindowTitle(Escaped(caption));
    if (caption.isEmpty()) {
        if (!window->property("lumivoEmptyTitleKeeper").toBool()) {
            window->setProperty("lumivoEmptyTitleKeeper", true);
            window->installEventFilter(new EmptyTitleKeeper(window));
        }
        EmptyX11Title(window);
    }
}

QString ExactCaption(const QWidget* window)
{
    // A title set since by other means wins.
    const QVariant caption = window->property(CaptionProperty);
    if (caption.isValid() && Escaped(caption.toString()) == window->windowTitle())
        return caption.toString();
    return window->windowTitle();
}
