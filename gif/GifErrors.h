#pragma once

// The GIF library's exceptions. Each carries only its message (UTF-8). EGifError is the
// library's base class; the others derive from it directly. Callers tell them apart by
// class: the LZW decoder stops quietly on the chunk list's index error only.

#include <stdexcept>
#include <string>

namespace gif {

class EGifError : public std::runtime_error {
public:
    explicit EGifError(const std::string& message) : std::runtime_error(message) {}
};

// A format error of the GIF stream.
class EGifException : public EGifError {
public:
    using EGifError::EGifError;
};

// An index outside an array or matrix: "Dynamic array index out of bounds".
class EIndexOutOfBounds : public EGifError {
public:
    EIndexOutOfBounds() : EGifError("Dynamic array index out of bounds") {}
};

// A block that could not be had, or that would pass the library's memory cap.
class ENotEnoughMemory : public EGifError {
public:
    explicit ENotEnoughMemory(long long requestedBytes)
        : EGifError("error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                    " requested memory block: " + std::to_string(requestedBytes) + " bytes") {}
};

// Reading past the last chunk of an image's compressed data: "List index out of bounds (%d)".
class EStringListError : public EGifError {
public:
    explicit EStringListError(long long index)
        : EGifError("List index out of bounds (" + std::to_string(index) + ")") {}
};

// An image number outside the file's images: "List index out of bounds (%d)".
class EListError : public EGifError {
public:
    explicit EListError(long long index)
        : EGifError("List index out of bounds (" + std::to_string(index) + ")") {}
};

// The file could not be opened or ended too early ("Read beyond end of file").
class EInOutError : public EGifError {
public:
    using EGifError::EGifError;
};

} // namespace gif
