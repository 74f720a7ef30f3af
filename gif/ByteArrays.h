#pragma once

// The byte containers of the GIF library. Indices are 1-based.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gif {

// A byte array of a size chosen at run time, one contiguous block, cleared to 0.
class TBigByteArray {
public:
    // Size 0 gives an empty array without a block. A negative size, or a block that cannot
    // be had, fails with ENotEnoughMemory. Sizes are 64-bit so that the product of two
    // 32-bit dimensions can be asked for (and refused) without overflow.
    explicit TBigByteArray(int64_t size);
    ~TBigByteArray();
    TBigByteArray(const TBigByteArray&) = delete;
    TBigByteArray& operator=(const TBigByteArray&) = delete;

    // Stores value at index 1..Size; anything else fails with EIndexOutOfBounds.
    void SetItem(int64_t index, uint8_t value);
    uint8_t Item(int64_t index) const; // checked the same way

    uint8_t* Data() { return m_data; }
    const uint8_t* Data() const { return m_data; }
    int64_t Size() const { return m_size; }

private:
    uint8_t* m_data = nullptr;
    int64_t m_size = 0;
};

// A matrix of Columns x Rows bytes on one TBigByteArray, accessed a whole row at a time.
class TByteArray2D {
public:
    TByteArray2D(int32_t columns, int32_t rows);

    // A copy of row index (1..Rows).
    std::unique_ptr<TBigByteArray> GetRow(int32_t index) const;
    // Copies row into row index. Fails with EIndexOutOfBounds for an index outside
    // 1..Rows, then with EGifError "Row doesn't have equal number of elements as Matrix
    // row" for a row of another length; the matrix is unchanged after a failure.
    void SetRow(int32_t index, const TBigByteArray& row);
    void SetRow(int32_t index, const uint8_t* row, int64_t length);

    // Direct read access to row index (1..Rows), for whole-row consumers.
    const uint8_t* RowData(int32_t index) const;
    // Direct write access to row index (1..Rows), for the decoder; EIndexOutOfBounds outside.
    uint8_t* MutableRowData(int32_t index);

    int32_t Columns() const { return m_columns; }
    int32_t Rows() const { return m_rows; }
    const TBigByteArray& Storage() const { return m_storage; }

private:
    TBigByteArray m_storage;
    int32_t m_columns;
    int32_t m_rows;
};

// The compressed data of one image, one chunk per data sub-block, handed back one byte at
// a time. Reading past the last byte fails with EStringListError.
class TByteBuffer {
public:
    void Append(const uint8_t* bytes, size_t length);
    // Room for bytes in chunks, ahead of appending them.
    void Reserve(size_t bytes, size_t chunks);
    // Starts reading at the first byte of the first chunk; with no chunks it fails with
    // EStringListError (index 0).
    void Rewind();
    uint8_t NextByte();

    size_t ChunkCount() const { return m_chunkEnds.size(); }
    size_t ByteCount() const { return m_bytes.size(); }
    // All chunks, one after the other, for readers that take whole runs of bytes.
    const uint8_t* Bytes() const { return m_bytes.data(); }
    // The 0-based number of the chunk that the byte at offset belongs to (ChunkCount() past the end).
    size_t ChunkOfOffset(size_t offset) const;

private:
    std::vector<uint8_t> m_bytes;
    std::vector<size_t> m_chunkEnds; // offset one past the end of each chunk
    size_t m_position = 0;           // offset of the next byte
    bool m_rewound = false;
};

} // namespace gif
