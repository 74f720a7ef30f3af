#include "playlist/MediaKind.h"

#include <algorithm>
#include <array>

namespace {

// In the order in which they are tested.
constexpr std::array<const char16_t*, 51> PictureSpellings = {
    u".bmp", u".BMP", u".Bmp", u".BMp", u".bmP", u".bMp", u".bMP", u".BmP",
    u".jpg", u".JPG", u".Jpg", u".JPg", u".jpG", u".jPg", u".jPG", u".JpG",
    u".ico", u".ICO", u".Ico", u".ICo", u".icO", u".iCo", u".iCO", u".IcO",
    u".emf", u".EMF", u".Emf", u".EMf", u".emF", u".eMf", u".eMF", u".EmF",
    u".wmf", u".WMF", u".Wmf", u".WMf", u".wmF", u".wMf", u".wMF", u".WmF",
    u".jpeg", u".JPEG", u".Jpeg",
    u".dib", u".DIB", u".Dib", u".DIb", u".diB", u".dIb", u".dIB", u".DiB",
};

constexpr std::array<const char16_t*, 8> AnimatedSpellings = {
    u".gif", u".GIF", u".Gif", u".GIf", u".giF", u".gIf", u".gIF", u".GiF",
};

constexpr std::array<const char16_t*, 22> ClipSpellings = {
    u".avi", u".wav", u".mp3", u".mid", u".mpeg", u".mpeg4", u".mpg", u".mp4",
    u".AVI", u".WAV", u".MP3", u".MID", u".MPEG", u".MPG", u".MP4",
    u".Avi", u".Wav", u".Mp3", u".Mid", u".Mpeg", u".Mpg", u".Mp4",
};

constexpr std::array<const char16_t*, 12> VideoSpellings = {
    u".avi", u".mpeg", u".mpg", u".mp4", u".AVI", u".MPEG", u".MPG", u".MP4", u".Avi", u".Mpeg", u".Mpg", u".Mp4",
};

template <std::size_t N>
bool IsIn(const QString& extension, const std::array<const char16_t*, N>& spellings)
{
    for (const char16_t* s : spellings)
        if (extension == QStringView(s)) // same length, same characters
            return true;
    return false;
}

} // namespace

const QString MediaOpenFilter = QStringLiteral(
    "Изображения|*.bmp; *.jpg; *.gif; *.jpeg; *.emf; *.wmf; *.ico"
    "|Клипы|*.avi; *.wav; *.mid; *.mp3; *.mpeg; *.mpg"
    "|Все|*.bmp; *.jpg; *.gif; *.jpeg; *.emf; *.wmf; *.ico; *.avi; *.wav; *.mid; *.mp3; *.mpeg; *.mpg");

const QString MediaFolderMask =
    QStringLiteral("*.bmp;*.jpg;*.jpeg;*.ico;*.dib;*.emf;*.wmf;*.avi;*.wav;*.mid;*.gif;*.mp3;*.mpeg;*.mp4");

QString MediaFileExtension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator = std::max({fileName.lastIndexOf(QLatin1Char('\\')),
                                          fileName.lastIndexOf(QLatin1Char('/')),
                                          fileName.lastIndexOf(QLatin1Char(':'))});
    if (dot < 0 || dot < separator)
        return QString();
    return fileName.mid(dot);
}

TMediaKind ClassifyMediaFile(const QString& fileName)
{
    const QString extension = MediaFileExtension(fileName);
    if (extension.isEmpty())
        return mkNone;
    if (IsIn(extension, PictureSpellings))
        return mkPicture;
    if (IsIn(extension, AnimatedSpellings))
        return mkAnimatedPicture;
    if (IsIn(extension, ClipSpellings))
        return mkClip;
    return mkNone;
}

bool IsVideoClip(const QString& fileName)
{
    return IsIn(MediaFileExtension(fileName), VideoSpellings);
}

QString MediaKindCaption(TMediaKind kind)
{
    switch (kind) {
    case mkPicture:
        return QStringLiteral("Картинка");
    case mkAnimatedPicture:
        return QStringLiteral("Анимированная картинка");
    case mkClip:
        return QStringLiteral("Клип");
    case mkNone:
        break;
    }
    return QString();
}
