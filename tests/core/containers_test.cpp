#include "core/containers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/data_stream.h"

namespace {

// A memory image of a data file: the 8-byte header, then the bytes a test adds.
struct Image {
    std::vector<uint8_t> bytes{'C', 'N', 'T', 'T', 'S', 'T', 0, 1};

    void U8(int v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(int v)
    {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v)
    {
        U16(static_cast<int>(v & 0xFFFF));
        U16(static_cast<int>(v >> 16));
    }
    void Float(float f)
    {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        U32(v);
    }
    // Opens a stream over the image.
    void Open(DataStream *stream) const
    {
        int version = 0;
        stream->OpenMemory(bytes.data(), bytes.size(), &version);
    }
};

IdList MakeList(const std::vector<int> &ids)
{
    IdList list;
    list.Init();
    if (ids.size() == 0)
        return list;
    list.count = static_cast<uint32_t>(ids.size());
    list.entries = new IdListEntry[ids.size()];
    uint32_t i = 0;
    for (int id : ids)
        IdList::InitEntry(&list.entries[i++], id);
    return list;
}

std::vector<int> Ids(const IdList &list)
{
    std::vector<int> ids;
    for (uint32_t i = 0; i < list.count; i++)
        ids.push_back(list.entries[i].id);
    return ids;
}

TEST(ContainersTest, IdListReadTakesEntriesAsStored)
{
    Image image;
    image.U32(2);
    image.U16(0x1234);
    image.U8(0x81);
    image.U8(0x07);
    image.U16(3);
    image.U8(0xFF);
    image.U8(0);
    image.U8(0x5A);   // the next field after the list
    DataStream stream;
    image.Open(&stream);

    IdList list;
    list.Init();
    EXPECT_EQ(list.Read(&stream), 0);
    ASSERT_EQ(list.count, 2u);
    EXPECT_EQ(list.entries[0].id, 0x1234);
    EXPECT_EQ(list.entries[0].mask, 0x81);
    EXPECT_EQ(list.entries[0].spare, 0x07);
    EXPECT_EQ(list.entries[1].id, 3);
    EXPECT_EQ(stream.ReadU8(), 0x5A);
    EXPECT_FALSE(stream.overrun);
    stream.Close();

    list.Free();
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.entries, nullptr);
}

TEST(ContainersTest, IdListReadOfCountZeroHasNoArray)
{
    Image image;
    image.U32(0);
    DataStream stream;
    image.Open(&stream);
    IdList list;
    list.Init();
    EXPECT_EQ(list.Read(&stream), 0);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.entries, nullptr);
    stream.Close();
}

TEST(ContainersTest, IdListAdd)
{
    IdList list = MakeList({3, 5});
    list.entries[1].mask = 0x12;
    list.Add(7);
    EXPECT_EQ(Ids(list), (std::vector<int>{3, 5, 7}));
    EXPECT_EQ(list.entries[1].mask, 0x12);
    EXPECT_EQ(list.entries[2].mask, 0xFF);
    EXPECT_EQ(list.entries[2].spare, 0);
    list.Free();

    // An empty list stays empty.
    IdList empty = MakeList({});
    empty.Add(7);
    EXPECT_EQ(empty.count, 0u);
    EXPECT_EQ(empty.entries, nullptr);
}

TEST(ContainersTest, IdListRemove)
{
    struct Case {
        std::vector<int> before;
        int id;
        std::vector<int> after;
    };
    const Case cases[] = {
        {{3, 5, 7}, 3, {7, 5}},   // the last entry fills the gap
        {{3, 5, 7}, 7, {3, 5}},
        {{3, 5, 7}, 9, {3, 5, 7}},
        {{5}, 5, {}},
        {{3, 5, 3}, 3, {5}},      // the entry moved in is checked too
        {{3, 3}, 3, {}},
    };
    for (const Case &c : cases) {
        IdList list = MakeList(c.before);
        list.Remove(c.id);
        EXPECT_EQ(Ids(list), c.after) << "removing " << c.id;
        if (c.after.empty()) {
            EXPECT_EQ(list.entries, nullptr) << "removing " << c.id;
        }
        list.Free();
    }
}

TEST(ContainersTest, IdListSwapIds)
{
    IdList list = MakeList({3, 5, 3, 9});
    list.SwapIds(3, 5);
    EXPECT_EQ(Ids(list), (std::vector<int>{5, 3, 5, 9}));
    list.Free();
}

TEST(ContainersTest, IdListReverseFlagBits)
{
    const uint8_t masks[][2] = {{0x01, 0x80}, {0x0F, 0xF0}, {0xA0, 0x05}, {0x00, 0x00}, {0xFF, 0xFF}};
    IdList list = MakeList({1, 2, 3, 4, 5});
    for (int i = 0; i < 5; i++)
        list.entries[i].mask = masks[i][0];
    list.ReverseFlagBits();
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(list.entries[i].mask, masks[i][1]) << "mask " << int(masks[i][0]);
    list.Free();
}

TEST(ContainersTest, CellGridReadsWidthTimesHeightCells)
{
    Image image;
    image.U16(2);
    image.U16(3);
    for (int i = 0; i < 96; i++)
        image.U8(i);
    image.U8(0x5A);
    DataStream stream;
    image.Open(&stream);

    CellGrid grid;
    grid.Init();
    EXPECT_EQ(grid.Read(&stream), 0);
    EXPECT_EQ(grid.width, 2);
    EXPECT_EQ(grid.height, 3);
    ASSERT_NE(grid.cells, nullptr);
    EXPECT_EQ(grid.cells[0].bytes[0], 0);
    EXPECT_EQ(grid.cells[5].bytes[15], 95);
    EXPECT_EQ(stream.ReadU8(), 0x5A);   // exactly 96 bytes taken
    stream.Close();

    grid.Free();
    EXPECT_EQ(grid.cells, nullptr);
    EXPECT_EQ(grid.width, 0);
}

TEST(ContainersTest, CellGridKeepsFullSixteenBitWidth)
{
    Image image;
    image.U16(0xFFFF);
    image.U16(0);
    DataStream stream;
    image.Open(&stream);
    CellGrid grid;
    grid.Init();
    EXPECT_EQ(grid.Read(&stream), 0);
    EXPECT_EQ(grid.width, 0xFFFF);
    EXPECT_EQ(grid.height, 0);
    grid.Free();
    stream.Close();
}

TEST(ContainersTest, FloatPairTableRead)
{
    const float values[][2] = {{1.5f, -2.25f}, {0.0f, 1.0e-30f}, {3.0e8f, -0.0f}};
    Image image;
    image.U32(3);
    for (const auto &pair : values) {
        image.Float(pair[0]);
        image.Float(pair[1]);
    }
    image.U32(0);   // a second, empty table
    DataStream stream;
    image.Open(&stream);

    FloatPairTable table;
    EXPECT_EQ(table.Read(&stream), 0);
    ASSERT_EQ(table.count, 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(std::memcmp(&table.pairs[i].a, &values[i][0], 4), 0) << i;
        EXPECT_EQ(std::memcmp(&table.pairs[i].b, &values[i][1], 4), 0) << i;
    }
    table.Free();
    EXPECT_EQ(table.pairs, nullptr);
    EXPECT_EQ(table.count, 0u);

    // Free leaves it reusable; a count of 0 still gets an (empty) array.
    EXPECT_EQ(table.Read(&stream), 0);
    EXPECT_EQ(table.count, 0u);
    EXPECT_NE(table.pairs, nullptr);
    EXPECT_FALSE(stream.overrun);
    table.Free();
    stream.Close();
}

TEST(ContainersTest, FloatArrayPairFreeEmpties)
{
    FloatArrayPair holder;
    holder.Init();
    EXPECT_EQ(holder.arrayA, nullptr);
    holder.wordA = 4;
    holder.wordB = 2;
    holder.arrayA = new float[4]();
    holder.Free();   // arrayB is null
    EXPECT_EQ(holder.wordA, 0u);
    EXPECT_EQ(holder.wordB, 0u);
    EXPECT_EQ(holder.arrayA, nullptr);
    EXPECT_EQ(holder.arrayB, nullptr);
}

// A damaged count must not wrap the allocation size or read past it: the
// container stays empty and Read reports the failure.
TEST(ContainersTest, CountsBeyondTheStreamAreRefused)
{
    enum Kind { List, Grid, Table };
    struct Case {
        Kind kind;
        uint32_t count;       // list or table count; for a grid, width | height << 16
        int payloadBytes;     // bytes that follow the count
        bool accepted;
    };
    const Case cases[] = {
        {List, 0xFFFFFFFFu, 12, false},   // x4 wraps to a small 32-bit size
        {List, 0x40000001u, 12, false},   // x4 wraps to 4
        {List, 3, 12, true},
        {List, 4, 12, false},
        {Grid, 0xFFFFFFFFu, 40, false},
        {Grid, 2 | 2u << 16, 63, false},
        {Grid, 2 | 2u << 16, 64, true},
        {Table, 0xFFFFFFFFu, 16, false},
        {Table, 0x20000001u, 16, false},  // x8 wraps to 8
        {Table, 2, 16, true},
        {Table, 3, 16, false},
    };
    for (const Case &c : cases) {
        Image image;
        if (c.kind == Grid) {
            image.U16(static_cast<int>(c.count & 0xFFFF));
            image.U16(static_cast<int>(c.count >> 16));
        } else {
            image.U32(c.count);
        }
        for (int i = 0; i < c.payloadBytes; i++)
            image.U8(0x11);
        DataStream stream;
        image.Open(&stream);

        if (c.kind == List) {
            IdList list;
            list.Init();
            EXPECT_EQ(list.Read(&stream) != 0, !c.accepted) << std::hex << c.count;
            if (!c.accepted) {
                EXPECT_EQ(list.count, 0u);
                EXPECT_EQ(list.entries, nullptr);
            }
            list.Free();
        } else if (c.kind == Grid) {
            CellGrid grid;
            grid.Init();
            EXPECT_EQ(grid.Read(&stream) != 0, !c.accepted) << std::hex << c.count;
            if (!c.accepted) {
                EXPECT_EQ(grid.width, 0);
                EXPECT_EQ(grid.height, 0);
                EXPECT_EQ(grid.cells, nullptr);
            }
            grid.Free();
        } else {
            FloatPairTable table;
            EXPECT_EQ(table.Read(&stream) != 0, !c.accepted) << std::hex << c.count;
            if (!c.accepted) {
                EXPECT_EQ(table.count, 0u);
                EXPECT_EQ(table.pairs, nullptr);
            }
            table.Free();
        }
        EXPECT_FALSE(stream.overrun) << std::hex << c.count;
        stream.Close();
    }
}

} // namespace
