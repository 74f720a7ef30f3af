#include "app/EarlyPicture.h"

#include "app/Application.h"
#include "playlist/MediaKind.h"
#include "presentation/DisplayWindow.h"
#include "presentation/PictureLoader.h"
#include "presentation/Present.h"

#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <exception>

bool FirstPictureMayShowEarly(const QStringList& files, bool show, bool slideShow)
{
    return (show || slideShow) && !files.isEmpty() && ClassifyMediaFile(files.first()) == mkPicture &&
           QFileInfo(files.first()).isFile();
}

bool ShowFirstPictureEarly(TProgramWindows& windows, const QStringList& files, bool show, bool slideShow)
{
    if (!FirstPictureMayShowEarly(files, show, slideShow))
        return false;
    const QString& file = files.first();
    // The window is made while the picture decodes. Only a picture decoded ahead, and soon,
    // is shown now: a slow or failing one must not hold the main window back.
    windows.CreateDisplayWindow(TDisplayWindow::TStripButtons::AfterFirstPaint);
    TDisplayWindow* display = windows.DisplayWindow();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !PreloadSucceeds(file, PictureDecodeSize(screen, false), 100))
        return false;
    try {
        // As the playlist will show it: a step of the slide show leaves the focus alone.
        PresentFile(*display, file, mkPicture, false, !slideShow);
    } catch (const std::exception&) {
        display->hide();
        return false;
    }
    return display->isVisible();
}

namespace {

// Watches one window for its first paint, then runs the action after that paint is done.
class TFirstPaint : public QObject {
public:
    TFirstPaint(QWidget* window, std::function<void()> then)
        : QObject(window), m_then(std::move(then))
    {
        window->installEventFilter(this);
        // A window the server never exposes (minimised, off screen) must not hold the rest back.
        QTimer::singleShot(250, this, [this] { Run(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // The window's own paint comes first in a repaint, its children's after it: the
        // action is queued behind the whole repaint.
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, this, [this] { Run(); });
        return false;
    }

private:
    void Run()
    {
        if (m_done)
            return;
        m_done = true;
        parent()->removeEventFilter(this);
        const auto then = std::move(m_then);
        deleteLater();
        then();
    }

    std::function<void()> m_then;
    bool m_done = false;
};

} // namespace

void WhenFirstPainted(QWidget* window, std::function<void()> then)
{
    new TFirstPaint(window, std::move(then));
}
