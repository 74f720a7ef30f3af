#pragma once

// The byte containers of the GIF library. Indices are 1-based.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gif {

// One block that hands out slices, for what one file keeps: a cleared part for all its
// images' pixels and a part for all their compressed data, which is written before it is
// read. One mapping on huge pages instead of blocks per image spares the page faults that
// dominate decoding many small images, and the last freed block (up to SpareBytes) is
// kept for the next file, so that a slide show does not pay for fresh pages every time.
// Freed when the last slice's owner lets go of it.
class TByteArena {
public:
    static constexpr size_t SpareBytes = size_t(128) << 20;
    enum TPart { Cleared, Raw };

    // ENotEnoughMemory when the block cannot be had. Null in a build that watches every
    // block's bounds (AddressSanitizer): callers then give each image blocks of its own.
    static std::shared_ptr<TByteArena> Make(size_t clearedBytes, size_t rawBytes);
    ~TByteArena();
    TByteArena(const TByteArena&) = delete;
    TByteArena& operator=(const TByteArena&) = delete;

    // The next bytes of a part (8-byte aligned), or null when it has no room.
    uint8_t* Take(size_t bytes, TPart part);

private:
    TByteArena(uint8_t* block, size_t clearedBytes, size_t rawBytes, size_t mapped);
    uint8_t* m_block;
    size_t m_ends[2];  // where each part ends
    size_t m_used[2];  // where each part's next slice starts
    size_t m_mapped;
};

// What a slice of `bytes` takes of an arena: the rounding to 8.
inline constexpr size_t ArenaSlice(size_t bytes) { return (bytes + 7) & ~size_t(7); }

// A byte array of a size chosen at run time, one contiguous block, cleared to 0. The block
// has TailSlack bytes more than the array, so that a decoder may store a whole 64-bit word
// at its last byte.
class TBigByteArray {
public:
    static constexpr int64_t TailSlack = 8;

    // Size 0 gives an empty array without a block. A negative size, or a block that cannot
    // be had, fails with ENotEnoughMemory. Sizes are 64-bit so that the product of two
    // 32-bit dimensions can be asked for (and refused) without overflow. With an arena that
    // has room, the block is a slice of it.
    explicit TBigByteArray(int64_t size, std::shared_ptr<TByteArena> arena = nullptr);
    ~TBigByteArray();
    TBigByteArray(const TBigByteArray&) = delete;
    TBigByteArray& operator=(const TBigByteArray&) = delete;

    uint8_t* Data() { return m_data; }
    const uint8_t* Data() const { return m_data; }
    int64_t Size() const { return m_size; }

private:
    uint8_t* m_data = nullptr;
    int64_t m_size = 0;
    size_t m_mapped = 0; // bytes mapped for a large block of its own, 0 otherwise
    std::shared_ptr<TByteArena> m_arena;
};

// A matrix of Columns x Rows bytes on one TBigByteArray, accessed a whole row at a time.
class TByteArray2D {
public:
    TByteArray2D(int32_t columns, int32_t rows, std::shared_ptr<TByteArena> arena = nullptr);

    // Direct read access to row index (1..Rows), for whole-row consumers; EIndexOutOfBounds outside.
    const uint8_t* RowData(int32_t index) const;
    // Direct write access to row index (1..Rows), for the decoder; EIndexOutOfBounds outside.
    uint8_t* MutableRowData(int32_t index);

    int32_t Columns() const { return m_columns; }
    int32_t Rows() const { return m_rows; }

private:
    TBigByteArray m_storage;
    int32_t m_columns;
    int32_t m_rows;
};

// The compressed data of one image, one chunk per data sub-block, read by the decoder as one
// run of bytes.
class TByteBuffer {
public:
    // Room for bytes in chunks, ahead of appending them: a slice of arena where it has room.
    void Reserve(size_t bytes, size_t chunks, const std::shared_ptr<TByteArena>& arena = nullptr);
    // Room for one more chunk of length bytes, to be written by the caller.
    uint8_t* AppendChunk(size_t length);
    // Before reading: an image without a single chunk fails with EStringListError (index 0).
    void Rewind();

    size_t ByteCount() const { return m_size; }
    // All chunks, one after the other.
    const uint8_t* Bytes() const { return m_data; }

private:
    uint8_t* m_data = nullptr; // in m_arena's block or in m_own
    size_t m_size = 0;
    size_t m_capacity = 0;
    std::shared_ptr<TByteArena> m_arena;
    std::unique_ptr<uint8_t[]> m_own; // the storage when no arena slice holds the bytes
    std::vector<size_t> m_chunkEnds; // offset one past the end of each chunk
};

} // namespace gif
