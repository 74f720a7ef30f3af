#include "presentation/GifImage.h"

#include "presentation/AreaScaling.h"

#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstring>
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
    m_areaReduced = false;
    // A frame is held for its whole delay: a coarse timer may fire 5 % early.
    m_timer->setTimerType(Qt::PreciseTimer);
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

int TGifImage::FrameDelayMs(const gif::TGifSubImage& frame)
{
    const int delay = frame.Delay();
    return (delay <= 1 ? 10 : delay) * 10;
}

int TGifImage::TimerInterval() const
{
    int64_t delay = 100;
    if (m_gifFile && m_currentFrame >= 1 && m_currentFrame <= m_gifFile->SubImageCount())
        delay = FrameDelayMs(m_gifFile->SubImage(m_currentFrame));
    return int(std::min<int64_t>(delay * m_slowFactor, INT_MAX));
}

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
            if (control) {
                control->m_inProgress = false;
                control->m_loading = false; // after a failure, what was shown goes on
            }
        }
    } done{alive};
    m_loading = true;
    m_host.ProcessMessages();
    if (!alive)
        return;
    // The file is held here as well, so that it outlives the control should the control be
    // destroyed while messages run during decoding.
    auto file = std::make_shared<gif::TGifFile>(m_host);
    // The file and picture shown stay while the new file loads (and after a failed load),
    // unless together with the new one they would pass the memory budget.
    file->BeforeDecode = [this, alive](int64_t needed) {
        if (!alive)
            return;
        const int64_t kept = m_picture.sizeInBytes() + m_saved.sizeInBytes() + (m_gifFile ? m_gifFile->NeededBytes() : 0);
        if (needed + kept > gif::MaxDecodedBytes) {
            m_gifFile.reset();
            m_currentFrame = 0;
            m_picture = QImage();
            m_saved = QImage();
            update();
        }
    };
    file->LoadFromFile(QFile::encodeName(fileName).toStdString());
    if (!alive)
        return;
    file->BeforeDecode = nullptr;
    file->SubImage(1); // a file without images fails here, before anything is replaced
    m_gifFile = file;
    m_currentFrame = 1;
    SetAnimated(false);
    if (file->SubImageCount() != 1) {
        m_slowFactor = 1;
        SyncTimer();
        if (StartImmediately)
            SetAnimated(true);
    }
    DrawFrame(1);
    SetPicture(std::move(m_picture));
    m_composed = true;
}

void TGifImage::SetAnimated(bool value)
{
    if (!value)
        m_playingOnce = false; // stopping the animation ends a run-through too
    if (value == m_timerEnabled)
        return;
    m_timerEnabled = value;
    SyncTimer();
    Q_EMIT AnimatedChanged(value);
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
    // Doubling stops once no delay could grow any further.
    if (m_slowFactor < INT_MAX)
        m_slowFactor *= 2;
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
    SyncTimer(); // the frame shown now sets how long until the next
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
    // Only what the frame changed is painted again: a small animation in a big window
    // costs the X server no more than the animation itself.
    update(PlacedRect(DrawFrame(m_currentFrame)));
}

namespace {

// Draws the image's colour indices through its colour table into the canvas, with the
// image's top-left corner at (left, top); pixels of the transparent index are left as
// they are, and what falls outside the canvas is clipped.
void PaintIndices(QImage& canvas, const gif::TGifSubImage& image, int left, int top)
{
    const gif::TByteArray2D& pixels = *image.Pixels;
    const int x0 = std::max(0, -left), y0 = std::max(0, -top);
    const int width = std::min({int(image.Width), pixels.Columns(), canvas.width() - left});
    const int height = std::min({int(image.Height), pixels.Rows(), canvas.height() - top});
    if (width <= x0 || height <= y0)
        return;
    const gif::TColorTable& table = image.Colors();
    QRgb colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = qRgb(table.Entries[i].Red, table.Entries[i].Green, table.Entries[i].Blue);
    const int transparent = image.TransparentIndex();
    for (int r = y0; r < height; ++r) {
        const uint8_t* from = pixels.RowData(r + 1);
        QRgb* to = reinterpret_cast<QRgb*>(canvas.scanLine(top + r)) + left;
        if (transparent < 0) {
            for (int c = x0; c < width; ++c)
                to[c] = colours[from[c]];
        } else {
            for (int c = x0; c < width; ++c)
                if (from[c] != transparent)
                    to[c] = colours[from[c]];
        }
    }
}

// The part of the canvas an image covers, in the canvas's coordinates.
QRect CanvasRect(const gif::TGifSubImage& image, const gif::TGifRect& canvas)
{
    return QRect(image.Left - canvas.Left, image.Top - canvas.Top, image.Width, image.Height) &
           QRect(0, 0, canvas.Width, canvas.Height);
}

void CopyRect(const QImage& from, QImage& to, const QRect& rect)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        std::memcpy(reinterpret_cast<QRgb*>(to.scanLine(y)) + rect.left(),
                    reinterpret_cast<const QRgb*>(from.constScanLine(y)) + rect.left(),
                    size_t(rect.width()) * sizeof(QRgb));
}

QImage NewCanvas(const QSize& size)
{
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        throw gif::ENotEnoughMemory(int64_t(size.width()) * size.height() * 4);
    return canvas;
}

} // namespace

QRect TGifImage::DrawFrame(int n)
{
    gif::TGifFile& file = *m_gifFile;
    const gif::TGifRect canvas = file.Canvas();
    gif::TGifSubImage& frame = file.SubImage(n);
    QRect changed = CanvasRect(frame, canvas);
    if (n == 1) {
        changed = QRect(0, 0, canvas.Width, canvas.Height);
        // The animation starts afresh on a clear canvas; one of that size is reused.
        const QSize size(canvas.Width, canvas.Height);
        if (m_picture.size() != size || m_picture.format() != QImage::Format_ARGB32_Premultiplied)
            m_picture = size.isEmpty() ? QImage() : NewCanvas(size);
        m_picture.fill(Qt::transparent);
    } else if (!m_picture.isNull()) {
        // What the previous frame asked to be done with it once shown.
        const gif::TGifSubImage& previous = file.SubImage(n - 1);
        const QRect rect = CanvasRect(previous, canvas);
        const int disposal = previous.Disposal();
        if (disposal == 2 || disposal == 3)
            changed |= rect;
        if (disposal == 2) {
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                std::fill_n(reinterpret_cast<QRgb*>(m_picture.scanLine(y)) + rect.left(), rect.width(), 0);
        } else if (disposal == 3 && m_saved.size() == m_picture.size()) {
            CopyRect(m_saved, m_picture, rect);
        }
    }
    if (m_picture.isNull())
        return changed;
    if (frame.Disposal() == 3) {
        if (m_saved.size() != m_picture.size())
            m_saved = NewCanvas(m_picture.size());
        CopyRect(m_picture, m_saved, CanvasRect(frame, canvas));
    }
    // A big animation keeps its images compressed: each is decoded when drawn, and goes again.
    bool decoded = false;
    try {
        decoded = frame.DecodeIfCompressed();
    } catch (const std::exception&) {
        return changed; // no memory for it now: the frame is skipped (the load decoded it once)
    }
    PaintIndices(m_picture, frame, frame.Left - canvas.Left, frame.Top - canvas.Top);
    if (decoded)
        frame.Pixels.reset();
    return changed;
}

void TGifImage::Compose()
{
    // The picture of frame n is frames 1 to n drawn in order, each disposed of before the
    // next.
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
    const int interval = TimerInterval();
    if (m_timer->interval() != interval)
        m_timer->setInterval(interval);
    if (m_timerEnabled && !m_timer->isActive())
        m_timer->start();
    else if (!m_timerEnabled && m_timer->isActive())
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

QRect TImage::PlacedRect(const QRect& part) const
{
    if (m_picture.isNull() || part.isEmpty())
        return QRect();
    const QRect placed = ImagePlacement(m_picture.size(), size(), m_stretch, m_proportional, m_center);
    const qreal sx = qreal(placed.width()) / m_picture.width(), sy = qreal(placed.height()) / m_picture.height();
    // A pixel more on every side: smooth scaling blends each pixel with its neighbours.
    return QRectF(placed.x() + part.x() * sx, placed.y() + part.y() * sy, part.width() * sx, part.height() * sy)
        .toAlignedRect()
        .adjusted(-1, -1, 1, 1);
}

void TImage::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect placed = ImagePlacement(m_picture.size(), size(), m_stretch, m_proportional, m_center);
    const QSize pixels = (QSizeF(placed.size()) * devicePixelRatioF()).toSize();
    // Smooth scaling stays close to averaging down to two thirds; below that it starts to alias.
    if (m_areaReduced && !m_stretch && pixels.width() * 3 < m_picture.width() * 2) {
        if (m_reducedFrom != m_picture.cacheKey() || m_reduced.size() != m_picture.size().scaled(pixels, Qt::KeepAspectRatio)) {
            m_reduced = AreaScaled(m_picture, pixels);
            m_reducedFrom = m_picture.cacheKey();
        }
        painter.drawImage(placed, m_reduced);
        return;
    }
    m_reduced = QImage();
    painter.drawImage(placed, m_picture);
}
