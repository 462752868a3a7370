#include "core/containers.h"

#include <bit>
#include <climits>

#include "core/data_stream.h"

// Entries and cells are read as raw bytes straight into memory.
static_assert(std::endian::native == std::endian::little, "file records are little-endian");

// True when a read of `bytes` fits in what the stream still holds and in one
// block read. A damaged count must not wrap a size or run past an allocation.
static bool BlockFits(const DataStream *stream, uint64_t bytes)
{
    if (bytes > static_cast<uint64_t>(INT_MAX))
        return false;
    const int64_t remaining = stream->Remaining();
    return remaining >= 0 && bytes <= static_cast<uint64_t>(remaining);
}

// ---------------------------------------------------------------- IdList

void IdList::Init()
{
    count = 0;
    entries = nullptr;
}

void IdList::InitEntry(IdListEntry *entry, int id)
{
    entry->id = static_cast<uint16_t>(id);
    entry->mask = 0xFF;
    entry->spare = 0;
}

void IdList::Free()
{
    delete[] entries;
    entries = nullptr;
    count = 0;
}

int IdList::Read(DataStream *stream)
{
    const uint32_t n = stream->ReadU32();
    if (n == 0) {
        Init();
        return 0;
    }
    const uint64_t bytes = static_cast<uint64_t>(n) * sizeof(IdListEntry);
    if (!BlockFits(stream, bytes)) {
        Init();
        return 1;
    }
    entries = new IdListEntry[n];
    count = n;
    stream->ReadBlock(entries, static_cast<int>(bytes));
    return 0;
}

void IdList::Add(int id)
{
    if (count == 0)
        return;
    IdListEntry *grown = new IdListEntry[count + 1];
    for (uint32_t i = 0; i < count; i++)
        grown[i] = entries[i];
    InitEntry(&grown[count], id);
    delete[] entries;
    entries = grown;
    count++;
}

void IdList::Remove(int id)
{
    // The entry moved in from the end is examined too, so no copy of the id
    // survives (ids of a deleted object must not linger).
    uint32_t i = 0;
    while (i < count) {
        if (entries[i].id == static_cast<uint16_t>(id)) {
            entries[i] = entries[count - 1];
            count--;
        } else {
            i++;
        }
    }
    if (count == 0)
        Free();
}

void IdList::SwapIds(int a, int b)
{
    const uint16_t idA = static_cast<uint16_t>(a);
    const uint16_t idB = static_cast<uint16_t>(b);
    for (uint32_t i = 0; i < count; i++) {
        if (entries[i].id == idA)
            entries[i].id = idB;
        else if (entries[i].id == idB)
            entries[i].id = idA;
    }
}

void IdList::ReverseFlagBits()
{
    for (uint32_t i = 0; i < count; i++) {
        const uint8_t mask = entries[i].mask;
        uint8_t reversed = 0;
        for (int bit = 0; bit < 8; bit++) {
            if (mask & (1 << bit))
                reversed |= static_cast<uint8_t>(0x80 >> bit);
        }
        entries[i].mask = reversed;
    }
}

// -------------------------------------------------------- FloatArrayPair

void FloatArrayPair::Init()
{
    wordA = 0;
    wordB = 0;
    arrayA = nullptr;
    arrayB = nullptr;
}

void FloatArrayPair::Free()
{
    delete[] arrayA;
    delete[] arrayB;
    Init();
}

// -------------------------------------------------------------- CellGrid

void CellGrid::Init()
{
    width = 0;
    height = 0;
    cells = nullptr;
}

int CellGrid::Read(DataStream *stream)
{
    const uint16_t w = static_cast<uint16_t>(stream->ReadU16() & 0xFFFF);
    const uint16_t h = static_cast<uint16_t>(stream->ReadU16() & 0xFFFF);
    const uint64_t cellCount = static_cast<uint64_t>(w) * h;
    const uint64_t bytes = cellCount * sizeof(GridCell);
    if (!BlockFits(stream, bytes)) {
        Init();
        return 1;
    }
    width = w;
    height = h;
    cells = new GridCell[cellCount];
    stream->ReadBlock(cells, static_cast<int>(bytes));
    return 0;
}

void CellGrid::Free()
{
    delete[] cells;
    Init();
}

// -------------------------------------------------------- FloatPairTable

FloatPairTable::FloatPairTable() : count(0), pairs(nullptr) {}

void FloatPairTable::Clear()
{
    count = 0;
    pairs = nullptr;
}

void FloatPairTable::Free()
{
    delete[] pairs;
    pairs = nullptr;
    count = 0;
}

int FloatPairTable::Read(DataStream *stream)
{
    const uint32_t n = stream->ReadU32();
    if (!BlockFits(stream, static_cast<uint64_t>(n) * sizeof(FloatPair))) {
        Clear();
        return 1;
    }
    pairs = new FloatPair[n];
    count = n;
    for (uint32_t i = 0; i < n; i++) {
        pairs[i].a = stream->ReadFloat();
        pairs[i].b = stream->ReadFloat();
    }
    return 0;
}
