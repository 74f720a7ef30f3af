#include "presentation/Present.h"

#include "gif/GifImage.h"
#include "platform/WindowGeometry.h"
#include "presentation/DisplayWindow.h"
#include "presentation/MediaPlayer.h"
#include "presentation/PictureLoader.h"

#include <QGuiApplication>
#include <QFrame>
#include <QScreen>

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

namespace {

void ShowForm(TDisplayWindow& form)
{
    form.show();
    form.raise();
    form.activateWindow();
}

void PresentPicture(TDisplayWindow& form, const QString& fileName, bool fullScreen)
{
    form.ApplyPictureLayout();
    QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    const quint64 presentation = form.PresentationSerial;
    QImage picture = LoadPicture(fileName, screen ? screen->size() : QSize());
    if (presentation != form.PresentationSerial)
        return; // a newer presentation began meanwhile
    form.Image->SetPicture(std::move(picture));
    if (!fullScreen) {
        const QSize outer = form.frameGeometry().size();
        if (PictureOuterSize(outer) != outer) {
            SetOuterSize(&form, PictureWindowLimit);
            form.Placement = TDisplayWindow::TPlacement::ScreenCenter;
        }
    }
    form.Image->show();
    const QSize client = PictureClientMinimum(form.size());
    if (client != form.size())
        form.resize(client);
    ShowForm(form);
}

void PresentAnimation(TDisplayWindow& form, TAnimationSource source)
{
    form.ApplyAnimationLayout();
    ShowForm(form);
    if (source == TAnimationSource::SelectedLine)
        form.LoadGifFromPlaylistClick();
    else
        form.LoadGifFromOpenDialogClick();
}

void PresentClip(TDisplayWindow& form, const QString& fileName)
{
    form.ApplyClipLayout();
    ShowForm(form);
    const bool video = IsVideoClip(fileName);
    if (video)
        form.Image->hide(); // an audio clip keeps a picture shown before it in view
    form.MediaPlayer->Display = form.ViewPanel;
    form.MediaPlayer->FileName = fileName;
    form.MediaPlayer->Open();
    if (video) {
        const QRect r = form.MediaPlayer->DisplayRect();
        if (!r.isEmpty())
            form.resize(r.width(), r.height()); // the bottom strip is part of this height
    }
    form.MediaPlayer->Play();
}

} // namespace

void PresentFile(TDisplayWindow& form, const QString& fileName, TMediaKind kind, TAnimationSource source,
                 bool fullScreen)
{
    if (kind != mkNone)
        ++form.PresentationSerial;
    switch (kind) {
    case mkPicture:
        PresentPicture(form, fileName, fullScreen);
        break;
    case mkAnimatedPicture:
        PresentAnimation(form, source);
        break;
    case mkClip:
        PresentClip(form, fileName);
        break;
    case mkNone:
        break; // nothing happens, and nothing is said
    }
}

void SetFullScreen(TDisplayWindow& form, bool on)
{
    const bool wasVisible = form.isVisible();
    if (on) {
        form.setWindowFlag(Qt::FramelessWindowHint, true);
        form.setWindowState(Qt::WindowMaximized);
    } else {
        form.setWindowFlag(Qt::FramelessWindowHint, false);
        form.setWindowState(Qt::WindowNoState);
        form.Placement = TDisplayWindow::TPlacement::DesktopCenter;
    }
    if (wasVisible) // changing the border hides a window; it comes back as it was
        form.show();
}
