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

// A block that could not be had, or a file whose images would pass the library's memory
// budget (OverBudget: says what the file needs and what the budget is).
class ENotEnoughMemory : public EGifError {
public:
    explicit ENotEnoughMemory(long long requestedBytes)
        : EGifError("error in TBigByteArray.create: Not enough contiguous memory available\r\n"
                    " requested memory block: " + std::to_string(requestedBytes) + " bytes") {}

    static ENotEnoughMemory OverBudget(long long neededBytes, long long budgetBytes)
    {
        return ENotEnoughMemory("The GIF's images need " + Megabytes(neededBytes) + " MB, more than the " +
                                Megabytes(budgetBytes) + " MB this program allows.");
    }

private:
    explicit ENotEnoughMemory(const std::string& message) : EGifError(message) {}
    // Whole megabytes, rounded up, with a space between thousands ("1 242").
    static std::string Megabytes(long long bytes)
    {
        const std::string digits = std::to_string((bytes + (1 << 20) - 1) >> 20);
        std::string text;
        for (size_t i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0)
                text += ' ';
            text += digits[i];
        }
        return text;
    }
};

// The program asked the load to stop (it is ending).
class EGifCancelled : public EGifError {
public:
    EGifCancelled() : EGifError("Loading the GIF file was stopped") {}
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
