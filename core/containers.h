#pragma once

#include <cstdint>

struct DataStream;

// Small owning containers that data files are read into. Each starts empty
// (Init or the constructor), is filled once by Read, and gives its memory back
// through Free, which leaves it empty and ready for reuse. Read expects an
// empty container: it does not free an earlier array.
//
// Every Read returns 0 on success, or non-zero when the count it read asks for
// more bytes than the stream still holds (a damaged or truncated file); the
// container is then left empty and the caller fails the load.

// One entry of an IdList; the file stores entries exactly as they lie in
// memory (id little-endian, then mask and spare).
struct IdListEntry {
    uint16_t id;
    uint8_t mask;   // one bit per flag, 0xFF for a new entry
    uint8_t spare;
};
static_assert(sizeof(IdListEntry) == 4, "IdListEntry is stored as 4 bytes");

// A counted list of object ids, each with a bit mask.
// File form: u32 count, then count entries.
struct IdList {
    uint32_t count;
    IdListEntry *entries;   // new[]-allocated, null when count is 0

    void Init();
    static void InitEntry(IdListEntry *entry, int id);
    void Free();
    int Read(DataStream *stream);

    // Appends id with a full mask. Does nothing on an empty list: a path's
    // base lists that came from the file empty must stay empty.
    void Add(int id);
    // Removes every entry with this id (the last entry fills the gap, so the
    // order changes); removing the only entry frees the list.
    void Remove(int id);
    // Exchanges ids a and b in every entry.
    void SwapIds(int a, int b);
    // Reverses the bit order of every mask (bit 0 <-> bit 7), for a path
    // whose direction is reversed.
    void ReverseFlagBits();
};

// Two float arrays and two words that the owner fills. Arrays given to it
// must come from new[], as Free releases them with delete[].
struct FloatArrayPair {
    uint32_t wordA;
    uint32_t wordB;
    float *arrayA;
    float *arrayB;

    void Init();
    void Free();
};

// One 16-byte cell of a CellGrid; its meaning belongs to the owner.
struct GridCell {
    uint8_t bytes[16];
};
static_assert(sizeof(GridCell) == 16, "GridCell is stored as 16 bytes");

// A width x height grid of 16-byte cells, row by row.
// File form: u16 width, u16 height, then width x height cells.
struct CellGrid {
    uint16_t width;
    uint16_t height;
    GridCell *cells;   // new[]-allocated

    void Init();
    int Read(DataStream *stream);
    void Free();
};

struct FloatPair {
    float a;
    float b;
};
static_assert(sizeof(FloatPair) == 8, "FloatPair is stored as two floats");

// A counted table of float pairs, the base of records that add their own
// members (and free them in their own Free).
// File form: u32 count, then count pairs of floats.
class FloatPairTable {
public:
    uint32_t count;
    FloatPair *pairs;   // new[]-allocated, also for a count of 0

    FloatPairTable();
    // Forgets the pairs without freeing them.
    void Clear();
    virtual void Free();
    int Read(DataStream *stream);
};
