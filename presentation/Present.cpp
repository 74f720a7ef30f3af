#include "presentation/Present.h"

#include "playlist/PlaylistFile.h"
#include "presentation/DisplayWindow.h"
#include "presentation/GifImage.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PictureLoader.h"
#include "presentation/PresentationGate.h"
#include "presentation/QtGifHost.h"
#include "widgets/WindowGeometry.h"

#include <QFrame>
#include <QPointer>
#include <QScopeGuard>
#include <QProgressBar>
#include <QScreen>
#include <QWindow>

QSize PictureOuterSize(const QSize& outer)
{
    if (outer.width() > PictureWindowLimit.width() || outer.height() > PictureWindowLimit.height())
        return PictureWindowLimit;
    return outer;
}

QSize PictureClientMinimum(const QSize& client)
{
    if (client.width() < 30 || client.height() < 30)
        return {30, 91};
    return client;
}

QSize VideoWindowSize(const QSize& video, const QSize& room)
{
    QSize area = video;
    const QSize roomForVideo(room.width(), room.height() - TDisplayWindow::StripHeight);
    if (!roomForVideo.isEmpty() && (area.width() > roomForVideo.width() || area.height() > roomForVideo.height()))
        area = area.scaled(roomForVideo, Qt::KeepAspectRatio).expandedTo({1, 1});
    return {qMax(area.width(), TDisplayWindow::StripMinimumWidth), area.height() + TDisplayWindow::StripHeight};
}

namespace {

// The largest client area a window can have on its screen's desktop, its frame around it.
QSize AvailableClientSize(const QWidget& window)
{
    const QScreen* screen = ScreenOf(&window);
    if (!screen)
        return {};
    return screen->availableGeometry().size() - (window.frameGeometry().size() - window.size());
}

QString ErrorText(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const ELumivoError*>(&e))
        return own->Message;
    return QString::fromUtf8(e.what());
}

void ShowDisplayWindow(TDisplayWindow& window, bool activate)
{
    // A window shown without activation does not take the focus when it appears either.
    window.setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    window.show();
    window.raise();
    if (activate)
        window.activateWindow();
}

} // namespace

// Presenting each kind; friends of the window, so not in an unnamed namespace.

void PresentPicture(TDisplayWindow& window, const QString& fileName, bool fullScreen, bool activate)
{
    window.ApplyPictureLayout();
    QScreen* screen = ScreenOf(&window);
    const quint64 presentation = window.PresentationSerial;
    const QSize fit = PictureDecodeSize(screen, fullScreen);
    QImage picture = LoadPicture(fileName, fit, [&] { return presentation != window.PresentationSerial; });
    if (presentation != window.PresentationSerial || picture.isNull())
        return; // a newer presentation began meanwhile, or the program is ending
    window.Image->SetPicture(std::move(picture));
    window.PictureFile = fileName;
    window.PictureFit = fit;
    if (!fullScreen) {
        const QSize outer = window.frameGeometry().size();
        if (PictureOuterSize(outer) != outer) {
            SetOuterSize(&window, PictureWindowLimit);
            window.Placement = TDisplayWindow::TPlacement::ScreenCenter;
        }
    }
    window.Image->show();
    const QSize client = PictureClientMinimum(window.size());
    if (client != window.size())
        window.resize(client);
    ShowDisplayWindow(window, activate);
}

static void PresentAnimation(TDisplayWindow& window, const QString& fileName, bool activate)
{
    window.ApplyAnimationLayout();
    ShowDisplayWindow(window, activate);
    ClearGifLoadCancel();
    // The decode lets messages run: what would present something else meanwhile waits for it
    // (and stops it, see PresentFile).
    presentation::TBusyScope busy;
    try {
        window.LoadGif(fileName);
    } catch (const gif::EGifCancelled&) {
        if (!GifLoadCancelled())
            throw;
        // Stopped for a newer presentation, which follows.
    }
}

void PresentClip(TDisplayWindow& window, const QString& fileName, bool activate)
{
    window.ApplyClipLayout();
    ShowDisplayWindow(window, activate);
    const bool video = IsVideoClip(fileName);
    if (video)
        window.Image->hide(); // an audio clip keeps a picture shown before it in view
    window.MediaPlayer->Display = window.ViewPanel;
    window.MediaPlayer->FileName = fileName;
    window.ClipProgress->setValue(0); // the gauge starts afresh, also when the clip cannot be opened
    window.MediaPlayer->Open();
    if (video) {
        const QRect r = window.MediaPlayer->DisplayRect();
        if (!r.isEmpty()) {
            window.resize(VideoWindowSize(r.size(), AvailableClientSize(window)));
            CenterOnDesktop(&window);
        }
    }
    window.MediaPlayer->Play();
}

void PresentFile(TDisplayWindow& window, const QString& fileName, TMediaKind kind, bool fullScreen, bool activate)
{
    if (kind == mkNone)
        return; // nothing happens, and nothing is said
    // Asked for while another presentation loads (a double-click, a menu command, a second
    // start): that one is abandoned (a GIF's decode stops), and the newest of such requests is
    // presented once it has returned. Nothing asked for meanwhile is made in turn.
    if (window.Presenting) {
        ++window.PresentationSerial;
        CancelGifLoad();
        const quint64 request = ++window.DeferredPresentations;
        QPointer<TDisplayWindow> alive(&window);
        presentation::RunGuardedWhenIdle(&window, [alive, request, fileName, kind, fullScreen, activate] {
            if (alive && request == alive->DeferredPresentations)
                PresentFile(*alive, fileName, kind, fullScreen, activate);
        });
        return;
    }
    ++window.PresentationSerial;
    window.Presenting = true;
    const auto presented = qScopeGuard([&window] { window.Presenting = false; });
    try {
        switch (kind) {
        case mkPicture:
            PresentPicture(window, fileName, fullScreen, activate);
            break;
        case mkAnimatedPicture:
            PresentAnimation(window, fileName, activate);
            break;
        case mkClip:
            PresentClip(window, fileName, activate);
            break;
        case mkNone:
            break;
        }
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        // A file reached through a link (a line that is not UTF-8) is named in an error as
        // the line the user sees, not as the link.
        const QString message = ErrorText(e);
        const QString named = WithLinesForLinks(message);
        if (named == message)
            throw;
        throw ELumivoError(named);
    }
}

QSize PictureDecodeSize(const QScreen* screen, bool fullScreen)
{
    if (fullScreen || !screen)
        return ScreenPixels(screen);
    return (QSizeF(PictureWindowLimit) * screen->devicePixelRatio()).toSize().boundedTo(ScreenPixels(screen));
}

void SharpenPicture(TDisplayWindow& window)
{
    if (window.PictureFile.isEmpty() || !window.Image->isVisible() || window.Presenting)
        return; // (a presentation running now decodes for the size it shows at)
    QScreen* screen = ScreenOf(&window);
    const QSize shown = (QSizeF(window.Image->size()) * window.devicePixelRatioF()).toSize();
    const QSize full = ScreenPixels(screen);
    if (window.PictureFit == full || (shown.width() <= window.PictureFit.width() && shown.height() <= window.PictureFit.height()))
        return;
    const quint64 presentation = ++window.PresentationSerial;
    const QString fileName = window.PictureFile;
    try {
        QImage picture = LoadPicture(fileName, full, [&] { return presentation != window.PresentationSerial; });
        if (presentation != window.PresentationSerial || picture.isNull())
            return; // something else was presented meanwhile
        window.Image->SetPicture(std::move(picture));
        window.PictureFit = full;
    } catch (const std::exception&) {
        // The file has gone or changed since it was shown: the picture stays as it is.
    }
}

void SetFullScreen(TDisplayWindow& window, bool on)
{
    if (on == window.FullScreen)
        return;
    // The border is switched on the window as it is: a window made anew would be hidden and
    // shown again, losing the keyboard focus and its frame's size.
    const Qt::WindowFlags flags = window.windowFlags().setFlag(Qt::FramelessWindowHint, on);
    window.overrideWindowFlags(flags);
    if (QWindow* native = window.windowHandle())
        native->setFlags(flags);
    if (on) {
        // The client area it returns to. Its place is the client area's own: when the border
        // comes back, the window's frame is not known until the window manager has drawn it.
        window.NormalSize = window.size();
        window.NormalPlace = window.geometry().topLeft();
        window.FullScreen = true;
        window.setWindowState(Qt::WindowMaximized);
    } else {
        window.FullScreen = false;
        window.setWindowState(Qt::WindowNoState);
        window.Placement = TDisplayWindow::TPlacement::DesktopCenter;
        // Back to the size and place it had before: a maximized size would leave the bottom
        // strip under the screen's edge once the border is back.
        if (window.isVisible())
            window.setGeometry(QRect(window.NormalPlace, window.NormalSize));
        else
            window.resize(window.NormalSize);
    }
}
