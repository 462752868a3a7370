#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ui/font.h"

// A font file described field by field, serialised by hand so that tests can
// damage any part of it.
struct FixtureGlyph {
    std::vector<std::array<float, 2>> points;
    std::vector<std::array<uint8_t, 4>> strokes;
    std::vector<std::array<uint8_t, 4>> triangles;
    std::vector<std::array<uint8_t, 4>> dots;
    std::vector<std::array<uint8_t, 4>> curves;   // stroke bytes; four slope floats follow
    uint8_t bitmapFirst = 0;
    uint8_t bitmapLast = 0;
};

struct FontFixture {
    char id[7] = "QZCHAR";
    int version = FontFileVersion;
    std::vector<FixtureGlyph> glyphs;
    std::vector<uint32_t> tableNumbers;
    std::vector<std::array<CodePageEntry, CodePageEntryCount>> tables;
    std::vector<std::array<uint16_t, DoubleByteEntryCount>> doubleByteTables;
    uint32_t glyphCountField = 0;   // written instead of glyphs.size() when not 0
    uint32_t tableCountField = 0;   // written instead of tables.size() when not 0
};

struct Bytes {
    std::vector<uint8_t> data;
    void U8(int v) { data.push_back(static_cast<uint8_t>(v)); }
    void U16(int v) { U8(v); U8(v >> 8); }
    void U32(uint32_t v) { U16(static_cast<int>(v & 0xffff)); U16(static_cast<int>(v >> 16)); }
    void F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof(bits));
        U32(bits);
    }
};

inline std::vector<uint8_t> Serialise(const FontFixture &f)
{
    Bytes out;
    for (int i = 0; i < 6; ++i) {
        out.U8(f.id[i]);
    }
    out.U8(f.version >> 8);
    out.U8(f.version & 0xff);
    out.U32(f.glyphCountField ? f.glyphCountField : static_cast<uint32_t>(f.glyphs.size()));
    for (const FixtureGlyph &g : f.glyphs) {
        out.U32(static_cast<uint32_t>(g.points.size()));
        for (const auto &p : g.points) {
            out.F32(p[0]);
            out.F32(p[1]);
        }
        out.U8(static_cast<int>(g.strokes.size()));
        out.U8(static_cast<int>(g.triangles.size()));
        out.U8(static_cast<int>(g.dots.size()));
        out.U8(static_cast<int>(g.curves.size()));
        for (const auto *list : {&g.strokes, &g.triangles, &g.dots}) {
            for (const auto &record : *list) {
                for (const uint8_t b : record) {
                    out.U8(b);
                }
            }
        }
        for (const auto &curve : g.curves) {
            for (const uint8_t b : curve) {
                out.U8(b);
            }
            for (int k = 0; k < 4; ++k) {
                out.F32(0.25f * static_cast<float>(k));
            }
        }
        for (int k = 0; k < GlyphBitmapSize; ++k) {
            out.U8(k == 0 ? g.bitmapFirst : k == GlyphBitmapSize - 1 ? g.bitmapLast : 0);
        }
    }
    out.U32(f.tableCountField ? f.tableCountField : static_cast<uint32_t>(f.tables.size()));
    for (size_t t = 0; t < f.tables.size(); ++t) {
        out.U32(f.tableNumbers[t]);
        for (const CodePageEntry &e : f.tables[t]) {
            out.U16(e.glyph);
            out.U8(e.accent);
            out.U8(e.flags);
        }
    }
    out.U32(static_cast<uint32_t>(f.doubleByteTables.size()));
    for (const auto &table : f.doubleByteTables) {
        for (const uint16_t u : table) {
            out.U16(u);
        }
    }
    return out.data;
}

inline std::string WriteFixture(const std::vector<uint8_t> &bytes, const char *name)
{
    const std::string path = std::string("font_test_") + name + ".abc";
    FILE *file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    if (file) {
        if (!bytes.empty()) {
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        }
        std::fclose(file);
    }
    return path;
}

// 97 glyphs: a few with shapes, the rest empty. Table t (of `tables`) has
// number 1000 + t and maps byte b to glyph b - 32; byte 0x81 of tables 4 and
// 9 leads to double-byte tables 0 and 1.
inline FontFixture StandardFixture(int tables = 12)
{
    FontFixture f;
    f.glyphs.resize(97);
    FixtureGlyph &space = f.glyphs[0];
    space.points = {{0.5f, 0.0f}};

    FixtureGlyph &shaped = f.glyphs[33];
    shaped.points = {{0.0f, 0.0f}, {4.5f, 0.0f}, {2.0f, 6.0f}, {1.0f, 1.0f}};
    shaped.strokes = {{0, 3, 0, 0}, {3, 0, 0, 0}};
    shaped.triangles = {{0, 1, 2, 0}};
    shaped.dots = {{1, 0, 15, 10}};          // widens the glyph to 4.5 + 1.5
    shaped.curves = {{0, 1, 1, 0}};
    shaped.bitmapFirst = 200;
    shaped.bitmapLast = 7;

    f.glyphs[40].points = {{0.0f, 0.0f}, {8.0f, 9.0f}};
    f.glyphs[95].points = {{0.0f, 0.0f}, {3.0f, 0.0f}, {3.0f, 5.0f}};
    f.glyphs[95].triangles = {{0, 1, 2, 0}};

    for (int t = 0; t < tables; ++t) {
        f.tableNumbers.push_back(1000 + t);
        std::array<CodePageEntry, CodePageEntryCount> table{};
        for (int b = 32; b < 256; ++b) {
            table[b - 32] = {static_cast<uint16_t>(b - 32), 0, 0};
        }
        f.tables.push_back(table);
    }
    for (int d = 0; d < 2; ++d) {
        std::array<uint16_t, DoubleByteEntryCount> table{};
        for (int k = 0; k < DoubleByteEntryCount; ++k) {
            table[k] = static_cast<uint16_t>(0x3000 + 0x100 * d + k);
        }
        f.doubleByteTables.push_back(table);
    }
    if (tables > 9) {
        f.tables[4][0x81 - 32] = {0, 0, CodePageDoubleByteFlag};
        f.tables[9][0x81 - 32] = {1, 0, CodePageDoubleByteFlag};
    }
    return f;
}
