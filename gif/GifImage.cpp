#include "gif/GifImage.h"

#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <new>

QRect ImagePlacement(const QSize& pictureSize, const QSize& areaSize, bool stretch, bool proportional, bool center)
{
    int w = pictureSize.width(), h = pictureSize.height();
    const int cw = areaSize.width(), ch = areaSize.height();
    if (stretch || (proportional && (w > cw || h > ch))) {
        if (proportional && w > 0 && h > 0) {
            const double aspect = double(w) / h;
            if (w > h) {
                w = cw;
                h = int(cw / aspect);
                if (h > ch) {
                    h = ch;
                    w = int(ch * aspect);
                }
            } else {
                h = ch;
                w = int(ch * aspect);
                if (w > cw) {
                    w = cw;
                    h = int(cw / aspect);
                }
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    int x = 0, y = 0;
    if (center) {
        x = (cw - w) / 2;
        y = (ch - h) / 2;
    }
    return QRect(x, y, w, h);
}

TGifImage::TGifImage(gif::IGifHost& host, QWidget* parent) : TImage(parent), m_host(host), m_timer(new QTimer(this))
{
    m_timer->setInterval(m_interval);
    // A tick that fails stops the animation and says why; it never ends the program.
    connect(m_timer, &QTimer::timeout, this, [this] {
        std::string error;
        try {
            TimerTick();
            return;
        } catch (const std::bad_alloc&) {
            error = "Out of memory";
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = "Unknown error";
        }
        SetAnimated(false);
        m_host.ShowError(error);
    });
}

TGifImage::~TGifImage() { m_timer->stop(); }

void TGifImage::LoadFromFile(const QString& fileName)
{
    if (m_inProgress)
        throw gif::EGifException("Cannot load \"" + fileName.toStdString() +
                                 "\" while another GIF file is being loaded");
    QPointer<TGifImage> alive(this);
    m_inProgress = true;
    struct Done {
        QPointer<TGifImage>& control;
        ~Done()
        {
            if (control)
                control->m_inProgress = false;
        }
    } done{alive};
    m_loading = true;
    m_host.ProcessMessages();
    if (!alive)
        return;
    // The file is held here as well, so that it outlives the control should the control be
    // destroyed while messages run during decoding.
    auto file = std::make_shared<gif::TGifFile>(m_host);
    // The picture shown stays while the new file loads (and after a failed load), unless
    // the two together would pass the memory budget.
    file->BeforeDecode = [this, alive](int64_t needed) {
        if (alive && needed + m_picture.sizeInBytes() > gif::MaxDecodedBytes) {
            m_picture = QImage();
            update();
        }
    };
    m_gifFile = file;
    m_currentFrame = 1;
    file->LoadFromFile(QFile::encodeName(fileName).toStdString());
    if (!alive)
        return;
    file->BeforeDecode = nullptr;
    SetAnimated(false);
    if (file->SubImageCount() != 1) {
        m_interval = int(file->AnimationInterval()) * 10;
        SyncTimer();
        if (StartImmediately)
            SetAnimated(true);
    }
    QImage first;
    PaintFirstFrame(first, file->SubImage(m_currentFrame));
    SetPicture(std::move(first));
    m_composed = true;
    m_loading = false;
}

void TGifImage::SetAnimated(bool value)
{
    if (!value)
        m_playingOnce = false; // stopping the animation ends a run-through too
    if (value == m_timerEnabled)
        return;
    m_timerEnabled = value;
    SyncTimer();
}

void TGifImage::PlayOnce()
{
    if (m_playingOnce)
        return;
    m_playingOnce = true;
    SetAnimated(true);
}

void TGifImage::SlowDown()
{
    // Doubling stops at the largest interval the timer takes.
    m_interval = m_interval > INT_MAX / 2 ? INT_MAX : m_interval * 2;
    SyncTimer();
}

void TGifImage::NextFrame()
{
    if (!m_gifFile || m_gifFile->SubImageCount() == 0)
        return; // nothing loaded yet: nothing to draw
    gif::TGifFile& file = *m_gifFile;
    ++m_currentFrame;
    if (m_currentFrame > file.SubImageCount()) {
        m_currentFrame = 1;
        if (m_playingOnce)
            SetAnimated(false); // ends the run-through
    }
    // Out of sight only the frame number moves on; the picture is composed when it is
    // looked at again (shown, painted, or asked for).
    if (!isVisible()) {
        m_composed = false;
        return;
    }
    if (!m_composed) {
        Compose();
        return;
    }
    DrawFrame(m_currentFrame);
    update();
}

namespace {

// Draws the image's colour indices through its colour table into the 32-bit picture, with
// the image's top-left corner at (left, top); what falls outside the picture is clipped.
void PaintIndices(QImage& picture, const gif::TGifSubImage& image, int left, int top)
{
    const gif::TByteArray2D& pixels = *image.Pixels;
    const int width = std::min({int(image.Width), pixels.Columns(), picture.width() - left});
    const int height = std::min({int(image.Height), pixels.Rows(), picture.height() - top});
    if (width <= 0 || height <= 0)
        return;
    const gif::TColorTable& table = image.Colors();
    QRgb colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = qRgb(table.Entries[i].Red, table.Entries[i].Green, table.Entries[i].Blue);
    for (int r = 0; r < height; ++r) {
        const uint8_t* from = pixels.RowData(r + 1);
        QRgb* to = reinterpret_cast<QRgb*>(picture.scanLine(top + r)) + left;
        for (int c = 0; c < width; ++c)
            to[c] = colours[from[c]];
    }
}

} // namespace

void TGifImage::PaintFirstFrame(QImage& picture, const gif::TGifSubImage& frame)
{
    // Frame 1 sits at the origin and gives the picture its size; a picture of that size is
    // reused rather than allocated again.
    const QSize size(frame.Width, frame.Height);
    if (picture.size() != size || picture.format() != QImage::Format_RGB32) {
        picture = QImage();
        if (!size.isEmpty()) {
            picture = QImage(size, QImage::Format_RGB32);
            if (picture.isNull())
                throw gif::ENotEnoughMemory(int64_t(size.width()) * size.height() * 4);
        }
    }
    PaintIndices(picture, frame, 0, 0);
}

void TGifImage::DrawFrame(int n)
{
    const gif::TGifSubImage& frame = m_gifFile->SubImage(n);
    if (n == 1)
        PaintFirstFrame(m_picture, frame);
    else if (!m_picture.isNull())
        PaintIndices(m_picture, frame, frame.Left, frame.Top);
}

void TGifImage::Compose()
{
    // Frame 1 replaces the picture and every later frame is drawn over it, so the picture
    // of frame n is frames 1 to n drawn in order.
    m_composed = true;
    if (!m_gifFile || m_gifFile->SubImageCount() == 0)
        return;
    for (int n = 1; n <= m_currentFrame; ++n)
        DrawFrame(n);
    SetPicture(std::move(m_picture));
}

const QImage& TGifImage::Picture()
{
    if (!m_composed)
        Compose();
    return m_picture;
}

void TGifImage::showEvent(QShowEvent* event)
{
    TImage::showEvent(event);
    if (!m_composed)
        Compose();
}

void TGifImage::TimerTick()
{
    if (!m_loading)
        NextFrame();
}

void TGifImage::SyncTimer()
{
    // An interval of 0 means the timer never ticks.
    const bool run = m_timerEnabled && m_interval > 0;
    if (m_timer->interval() != m_interval)
        m_timer->setInterval(m_interval);
    if (run && !m_timer->isActive())
        m_timer->start();
    else if (!run && m_timer->isActive())
        m_timer->stop();
}

void TImage::SetPicture(QImage picture)
{
    m_picture = std::move(picture);
    if (m_autoSize && !m_picture.isNull())
        resize(m_picture.size());
    update();
}

void TImage::SetAutoSize(bool value)
{
    m_autoSize = value;
    if (m_autoSize && !m_picture.isNull())
        resize(m_picture.size());
}

void TImage::SetCenter(bool value)
{
    m_center = value;
    update();
}

void TImage::SetProportional(bool value)
{
    m_proportional = value;
    update();
}

void TImage::SetStretch(bool value)
{
    m_stretch = value;
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(ImagePlacement(m_picture.size(), size(), m_stretch, m_proportional, m_center), m_picture);
}
