#pragma once

// Still pictures from files, behind one function. The extension decides the decoder,
// without regard to case: BMP and ICO through Qt, JPEG through libjpeg, WMF and EMF through
// the metafile helper.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QScreen;

// Largest file read into memory for a picture.
inline constexpr qint64 MaxPictureFileSize = 512 * 1024 * 1024;

// Throws EFOpenError ("Cannot open file "%s". %s") when the file cannot be read, and the
// decoder's error when its contents are not a picture. fitInto: the largest area the
// picture may be shown in (a JPEG may then be decoded at a reduced scale). Called on the
// user interface's thread, the decoding runs on a worker while the windows go on answering,
// the user's input included; when `abandoned` holds meanwhile (something newer is to be
// presented, the program ends), the load is left to finish on its own and a null image returned.
QImage LoadPicture(const QString& fileName, const QSize& fitInto = QSize(),
                   const std::function<bool()>& abandoned = nullptr);

// The size pictures shown on a screen are decoded for: its size in device pixels, so that a
// picture on a high-density screen is as sharp as the screen.
QSize ScreenPixels(const QScreen* screen);

// Starts loading a picture on a worker thread, for a presentation expected soon (the
// command line's first file while the windows are being built): the next LoadPicture of
// the same file and size takes that result, or its error, instead of loading again. JPEG,
// BMP and ICO only; one picture at a time.
void PreloadPicture(const QString& fileName, const QSize& fitInto);

// Waits at most waitMs for the load ahead of that file and size; true when it has ended
// with a picture.
bool PreloadSucceeds(const QString& fileName, const QSize& fitInto, int waitMs);
