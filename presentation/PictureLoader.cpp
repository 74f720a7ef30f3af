#include "presentation/PictureLoader.h"

#include "core/Errors.h"
#include "core/Quit.h"
#include "presentation/AreaScaling.h"
#include "presentation/BmpDecoder.h"
#include "presentation/ExifOrientation.h"
#include "presentation/JpegLoader.h"
#include "presentation/MetafileLoader.h"
#include "presentation/PresentationGate.h"
#include "system/SafeFile.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QFile>
#include <QFileInfo>
#include <QScreen>

#include <atomic>
#include <climits>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include <sys/stat.h>

namespace {

QByteArray ReadFile(const QString& fileName)
{
    try {
        return safefile::ReadRegularFile(fileName, MaxPictureFileSize, QStringLiteral("The file is too large for a picture"));
    } catch (const ESafeFileError& e) {
        throw EFOpenError(fileName, e.Reason);
    }
}

// A bitmap or an icon, decoded by our own decoder. The message is the program's own; why the
// decoder refused the file goes to standard error.
QImage DecodeBitmap(const QString& fileName, const QByteArray& data, bool icon)
{
    QString reason;
    QImage image = icon ? bmp::DecodeIco(data, reason) : bmp::DecodeBmp(data, reason);
    if (image.isNull()) {
        std::fprintf(stderr, "lumivo: %s: %s\n", qPrintable(fileName), qPrintable(reason));
        throw ELumivoError(icon ? QStringLiteral("Icon image is not valid") : QStringLiteral("Bitmap image is not valid"));
    }
    return image;
}

// The load itself, on the thread that asks for it.
QImage LoadNow(const QString& fileName, const QSize& fitInto)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == QLatin1String("wmf") || extension == QLatin1String("emf")) {
        // The same errors as other pictures for a file that cannot be read.
        try {
            safefile::RequireReadableRegularFile(fileName);
        } catch (const ESafeFileError& e) {
            throw EFOpenError(fileName, e.Reason);
        }
        return RenderMetafile(fileName);
    }
    const QByteArray data = ReadFile(fileName);
    if (extension == QLatin1String("jpg") || extension == QLatin1String("jpeg")) {
        // Turned as the photo's orientation says, before any size rule sees it.
        const int orientation = Exif::Orientation(data);
        const QSize fit = Exif::SwapsSides(orientation) ? fitInto.transposed() : fitInto;
        return Exif::Apply(DecodeJpeg(data, fit), orientation);
    }
    if (extension == QLatin1String("bmp") || extension == QLatin1String("dib") || extension == QLatin1String("ico"))
        return AreaScaled(DecodeBitmap(fileName, data, extension == QLatin1String("ico")), fitInto);
    throw ELumivoError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
}

// What tells one state of a file from another: a picture asked for again from a file that
// has not changed since (a slide show of one picture, the same line shown twice) is not
// decoded again.
struct TFileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = -1;
    timespec Modified{};
    timespec Changed{};

    bool operator==(const TFileStamp& other) const
    {
        return Device == other.Device && Inode == other.Inode && Size == other.Size &&
               Modified.tv_sec == other.Modified.tv_sec && Modified.tv_nsec == other.Modified.tv_nsec &&
               Changed.tv_sec == other.Changed.tv_sec && Changed.tv_nsec == other.Changed.tv_nsec;
    }
};

std::optional<TFileStamp> StampOf(const QString& fileName)
{
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return TFileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// One load on a worker of the thread pool; whoever holds it may take its result when done.
struct TLoad {
    QString FileName;
    QSize FitInto;
    std::atomic<bool> Done{false};
    QImage Picture;
    std::exception_ptr Error;
    // The file as it was read: taken before reading and checked after, so that a picture is
    // never taken for a state of the file it was not decoded from. None: it changed meanwhile.
    std::optional<TFileStamp> Stamp;
};

std::shared_ptr<TLoad> StartLoad(const QString& fileName, const QSize& fitInto)
{
    auto load = std::make_shared<TLoad>();
    load->FileName = fileName;
    load->FitInto = fitInto;
    // The pool's threads are waited for when the program ends; a load stops at once then.
    QThreadPool::globalInstance()->start([load] {
        const std::optional<TFileStamp> before = StampOf(load->FileName);
        try {
            load->Picture = LoadNow(load->FileName, load->FitInto);
        } catch (...) {
            load->Error = std::current_exception();
        }
        if (const std::optional<TFileStamp> after = StampOf(load->FileName); before && after && *before == *after)
            load->Stamp = before;
        load->Done = true;
        presentation::WakeWaits();
    });
    return load;
}

// The picture being loaded ahead, if any.
std::shared_ptr<TLoad>& Preloaded()
{
    static std::shared_ptr<TLoad> load;
    return load;
}

// The picture loaded last on the user interface's thread.
struct TLastPicture {
    QString FileName;
    QSize FitInto;
    TFileStamp Stamp;
    QImage Picture;
};

TLastPicture& LastPicture()
{
    static TLastPicture last;
    return last;
}

} // namespace

void PreloadPicture(const QString& fileName, const QSize& fitInto)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension != QLatin1String("jpg") && extension != QLatin1String("jpeg") && extension != QLatin1String("bmp") && extension != QLatin1String("dib") &&
        extension != QLatin1String("ico"))
        return;
    std::shared_ptr<TLoad>& slot = Preloaded();
    if (slot && slot->FileName == fileName && slot->FitInto == fitInto)
        return; // on its way already
    // A load ahead that nobody took is left to finish on its own; it is not waited for.
    slot = StartLoad(fileName, fitInto);
}

bool PreloadSucceeds(const QString& fileName, const QSize& fitInto, int waitMs)
{
    const std::shared_ptr<TLoad> load = Preloaded();
    if (!load || load->FileName != fileName || load->FitInto != fitInto)
        return false;
    presentation::WaitUntil([&] { return bool(load->Done); }, waitMs, 2);
    return load->Done && !load->Error;
}

QImage LoadPicture(const QString& fileName, const QSize& fitInto, const std::function<bool()>& abandoned)
{
    std::shared_ptr<TLoad> load;
    std::shared_ptr<TLoad>& slot = Preloaded();
    if (slot && slot->FileName == fileName && slot->FitInto == fitInto)
        load = std::exchange(slot, nullptr); // the result, or the error, of the load begun earlier
    const QCoreApplication* application = QCoreApplication::instance();
    if (!load && (!application || QThread::currentThread() != application->thread()))
        return LoadNow(fileName, fitInto);
    const std::optional<TFileStamp> stamp = StampOf(fileName);
    TLastPicture& last = LastPicture();
    if (stamp && last.FileName == fileName && last.FitInto == fitInto && last.Stamp == *stamp)
        return last.Picture;
    last = TLastPicture();
    if (!load)
        load = StartLoad(fileName, fitInto);
    // On the user interface's thread the load runs on a worker while the windows go on
    // answering, the user's input included (painting, a second start, a termination signal,
    // a newer presentation); a newer presentation, or the program's end, abandons this one at
    // once. False when it was abandoned.
    const auto wait = [&abandoned](const std::shared_ptr<TLoad>& running) {
        presentation::WaitUntil(
            [&] { return running->Done || QuitRequested() || (abandoned && abandoned()); }, INT_MAX, 2, true);
        return bool(running->Done);
    };
    if (!wait(load))
        return QImage();
    // Read (ahead, or while it was being written) from a file that has changed since: it
    // is read again.
    const bool stale = stamp && !(load->Stamp && *load->Stamp == *stamp);
    if (stale) {
        load = StartLoad(fileName, fitInto);
        if (!wait(load))
            return QImage();
    }
    if (load->Error)
        std::rethrow_exception(load->Error);
    if (load->Stamp)
        last = TLastPicture{fileName, fitInto, *load->Stamp, load->Picture};
    return std::move(load->Picture);
}

QSize ScreenPixels(const QScreen* screen)
{
    return screen ? (QSizeF(screen->size()) * screen->devicePixelRatio()).toSize() : QSize();
}
