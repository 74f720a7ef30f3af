#pragma once

// The kind of a media file, decided by the exact spelling of its extension alone: only the
// listed spellings count (".JPG" and ".Jpg" are pictures, ".jpEG" is of no kind). The file
// itself is never read. This is the one place where the lists live: the kinds, and the
// masks the file dialogs and the playlist wizard offer, every extension of which is of a kind.

#include <QString>

enum TMediaKind {
    mkNone,            // extension in no list: not presented
    mkPicture,         // still picture
    mkAnimatedPicture, // GIF animation
    mkClip,            // sound or video clip
};

// The text from the last dot to the end of the name, dot included, when that dot comes
// after the last folder separator ("\" or "/") and the last colon; otherwise empty.
QString MediaFileExtension(const QString& fileName);

TMediaKind ClassifyMediaFile(const QString& fileName);

// True for the clip spellings that carry a picture (.avi, .mpeg in three case forms).
bool IsVideoClip(const QString& fileName);

// The media open dialog's filter ("name|masks|name|masks...").
extern const QString MediaOpenFilter;
// The masks of the files the playlist wizard lists, separated by ';'.
extern const QString MediaFolderMask;

// The display window's caption for a kind; empty for mkNone.
QString MediaKindCaption(TMediaKind kind);
