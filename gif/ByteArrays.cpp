#include "gif/ByteArrays.h"

#include "gif/GifErrors.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>
#include <sys/mman.h>

namespace gif {

namespace {

// Built with AddressSanitizer (tests, fuzzing), every block comes from the heap and there are
// no arenas: each image then has blocks of its own, whose bounds the sanitizer watches,
// where a slice of a shared mapping would hide an overrun.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

// Blocks of this size and more are mapped on their own and asked to sit on huge pages:
// they are written once from start to end, and one fault per 2 MB instead of one per 4 KB
// is most of the time a large picture would spend in the kernel.
constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t LargeBlock = size_t(1) << 20;

// A cleared block of at least bytes; large ones are mapped, aligned to a huge page, and
// their mapped length goes to mapped (0 for a block from the heap). Null when the system
// has no room.
uint8_t* AllocateCleared(size_t bytes, size_t& mapped)
{
    mapped = 0;
    if (bytes < LargeBlock || Sanitized)
        return static_cast<uint8_t*>(std::calloc(bytes, 1));
    const size_t length = (bytes + HugePage - 1) & ~(HugePage - 1);
    void* area = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return nullptr;
    // Keep the aligned part only.
    const uintptr_t start = reinterpret_cast<uintptr_t>(area);
    const uintptr_t aligned = (start + HugePage - 1) & ~uintptr_t(HugePage - 1);
    if (aligned > start)
        ::munmap(area, aligned - start);
    if (const size_t tail = (start + length + HugePage) - (aligned + length); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE); // advice only: may be refused
    mapped = length;
    return reinterpret_cast<uint8_t*>(aligned);
}

void Release(uint8_t* block, size_t mapped)
{
    if (mapped > 0)
        ::munmap(block, mapped);
    else
        std::free(block);
}

// The last freed arena block of a mapping of its own, for the next arena.
struct SpareBlock {
    std::mutex lock;
    uint8_t* block = nullptr;
    size_t mapped = 0;
};

SpareBlock& Spare()
{
    static SpareBlock spare;
    return spare;
}

} // namespace

std::shared_ptr<TByteArena> TByteArena::Make(size_t clearedBytes, size_t rawBytes)
{
    if (Sanitized)
        return nullptr;
    if (rawBytes > SIZE_MAX - clearedBytes)
        throw ENotEnoughMemory(int64_t(clearedBytes));
    const size_t bytes = std::max<size_t>(clearedBytes + rawBytes, 1);
    SpareBlock& spare = Spare();
    {
        std::lock_guard<std::mutex> hold(spare.lock);
        if (spare.block && spare.mapped >= bytes) {
            uint8_t* block = std::exchange(spare.block, nullptr);
            std::memset(block, 0, clearedBytes);
            return std::shared_ptr<TByteArena>(new TByteArena(block, clearedBytes, rawBytes, std::exchange(spare.mapped, 0)));
        }
        if (spare.block) // too small: let it go before mapping more
            Release(std::exchange(spare.block, nullptr), std::exchange(spare.mapped, 0));
    }
    size_t mapped = 0;
    uint8_t* block = AllocateCleared(bytes, mapped);
    if (!block)
        throw ENotEnoughMemory(int64_t(bytes));
    return std::shared_ptr<TByteArena>(new TByteArena(block, clearedBytes, rawBytes, mapped));
}

TByteArena::TByteArena(uint8_t* block, size_t clearedBytes, size_t rawBytes, size_t mapped)
    : m_block(block), m_ends{clearedBytes, clearedBytes + rawBytes}, m_used{0, clearedBytes}, m_mapped(mapped)
{
}

TByteArena::~TByteArena()
{
    if (m_mapped > 0 && m_mapped <= SpareBytes) {
        SpareBlock& spare = Spare();
        std::lock_guard<std::mutex> hold(spare.lock);
        if (!spare.block) {
            spare.block = m_block;
            spare.mapped = m_mapped;
            return;
        }
    }
    Release(m_block, m_mapped);
}

uint8_t* TByteArena::Take(size_t bytes, TPart part)
{
    const size_t slice = ArenaSlice(bytes);
    if (slice < bytes || slice > m_ends[part] - m_used[part])
        return nullptr;
    uint8_t* at = m_block + m_used[part];
    m_used[part] += slice;
    return at;
}

TBigByteArray::TBigByteArray(int64_t size, std::shared_ptr<TByteArena> arena)
{
    if (size == 0)
        return;
    if (size < 0 || size > std::numeric_limits<int32_t>::max())
        throw ENotEnoughMemory(size);
    const size_t bytes = size_t(size) + size_t(TailSlack);
    if (arena && (m_data = arena->Take(bytes, TByteArena::Cleared)) != nullptr)
        m_arena = std::move(arena);
    else
        m_data = AllocateCleared(bytes, m_mapped);
    if (!m_data)
        throw ENotEnoughMemory(size);
    m_size = size;
}

TBigByteArray::~TBigByteArray()
{
    if (!m_arena && m_data)
        Release(m_data, m_mapped);
}

TByteArray2D::TByteArray2D(int32_t columns, int32_t rows, std::shared_ptr<TByteArena> arena)
    : m_storage(int64_t(columns) * int64_t(rows), std::move(arena)), m_columns(columns), m_rows(rows)
{
}

const uint8_t* TByteArray2D::RowData(int32_t index) const
{
    if (index < 1 || index > m_rows)
        throw EIndexOutOfBounds();
    return m_storage.Data() + int64_t(index - 1) * m_columns;
}

void TByteBuffer::Reserve(size_t bytes, size_t chunks, const std::shared_ptr<TByteArena>& arena)
{
    m_chunkEnds.reserve(m_chunkEnds.size() + chunks);
    if (m_size + bytes <= m_capacity)
        return;
    if (arena && m_size == 0) {
        if (uint8_t* slice = arena->Take(bytes, TByteArena::Raw)) {
            m_data = slice;
            m_capacity = bytes;
            m_arena = arena;
            return;
        }
    }
    std::unique_ptr<uint8_t[]> grown(new uint8_t[m_size + bytes]);
    if (m_size > 0)
        std::memcpy(grown.get(), m_data, m_size);
    m_own = std::move(grown);
    m_data = m_own.get();
    m_capacity = m_size + bytes;
    m_arena.reset();
}

uint8_t* TByteBuffer::AppendChunk(size_t length)
{
    if (m_size + length > m_capacity)
        Reserve(std::max(length, m_capacity), 0);
    uint8_t* at = m_data + m_size;
    m_size += length;
    m_chunkEnds.push_back(m_size);
    return at;
}

uint8_t* TByteArray2D::MutableRowData(int32_t index)
{
    if (index < 1 || index > m_rows)
        throw EIndexOutOfBounds();
    return m_storage.Data() + int64_t(index - 1) * m_columns;
}

void TByteBuffer::Rewind()
{
    if (m_chunkEnds.empty())
        throw EStringListError(0);
}

} // namespace gif
