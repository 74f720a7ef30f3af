#include "gif/ByteArrays.h"

#include "gif/GifErrors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace gif {

TBigByteArray::TBigByteArray(int64_t size)
{
    if (size == 0)
        return;
    if (size < 0 || size > std::numeric_limits<int32_t>::max())
        throw ENotEnoughMemory(size);
    // calloc: cleared storage; large blocks come as untouched zero pages.
    m_data = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size), 1));
    if (!m_data)
        throw ENotEnoughMemory(size);
    m_size = size;
}

TBigByteArray::~TBigByteArray() { std::free(m_data); }

void TBigByteArray::SetItem(int64_t index, uint8_t value)
{
    if (index < 1 || index > m_size)
        throw EIndexOutOfBounds();
    m_data[index - 1] = value;
}

uint8_t TBigByteArray::Item(int64_t index) const
{
    if (index < 1 || index > m_size)
        throw EIndexOutOfBounds();
    return m_data[index - 1];
}

TByteArray2D::TByteArray2D(int32_t columns, int32_t rows)
    : m_storage(int64_t(columns) * int64_t(rows)), m_columns(columns), m_rows(rows)
{
}

std::unique_ptr<TBigByteArray> TByteArray2D::GetRow(int32_t index) const
{
    auto row = std::make_unique<TBigByteArray>(m_columns);
    if (m_columns > 0)
        std::memcpy(row->Data(), RowData(index), size_t(m_columns));
    return row;
}

const uint8_t* TByteArray2D::RowData(int32_t index) const
{
    if (index < 1 || index > m_rows)
        throw EIndexOutOfBounds();
    return m_storage.Data() + int64_t(index - 1) * m_columns;
}

void TByteArray2D::SetRow(int32_t index, const TBigByteArray& row) { SetRow(index, row.Data(), row.Size()); }

void TByteArray2D::SetRow(int32_t index, const uint8_t* row, int64_t length)
{
    if (index < 1 || index > m_rows)
        throw EIndexOutOfBounds();
    if (length != m_columns)
        throw EGifError("Row doesn't have equal number of elements as Matrix row");
    if (length > 0)
        std::memcpy(m_storage.Data() + int64_t(index - 1) * m_columns, row, size_t(length));
}

void TByteBuffer::Reserve(size_t bytes, size_t chunks)
{
    m_bytes.reserve(m_bytes.size() + bytes);
    m_chunkEnds.reserve(m_chunkEnds.size() + chunks);
}

uint8_t* TByteArray2D::MutableRowData(int32_t index)
{
    if (index < 1 || index > m_rows)
        throw EIndexOutOfBounds();
    return m_storage.Data() + int64_t(index - 1) * m_columns;
}

void TByteBuffer::Append(const uint8_t* bytes, size_t length)
{
    m_bytes.insert(m_bytes.end(), bytes, bytes + length);
    m_chunkEnds.push_back(m_bytes.size());
}

void TByteBuffer::Rewind()
{
    if (m_chunkEnds.empty())
        throw EStringListError(0);
    m_position = 0;
    m_rewound = true;
}

uint8_t TByteBuffer::NextByte()
{
    if (!m_rewound)
        Rewind();
    if (m_position >= m_bytes.size())
        throw EStringListError(static_cast<long long>(m_chunkEnds.size()));
    return m_bytes[m_position++];
}

size_t TByteBuffer::ChunkOfOffset(size_t offset) const
{
    return size_t(std::upper_bound(m_chunkEnds.begin(), m_chunkEnds.end(), offset) - m_chunkEnds.begin());
}

} // namespace gif
