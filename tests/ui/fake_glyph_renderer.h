#pragma once

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ui/glyph_renderer.h"

// A glyph back end for tests: faces, ink rows and advances as set, and a
// count of the calls. A character draws a block of ink over its rows and the
// columns 0 .. advance - 1.
class FakeGlyphRenderer : public GlyphRenderer {
public:
    struct Ink {
        int first;
        int last;   // first > last: no ink
    };

    bool startOk = true;
    bool createOk = true;
    std::vector<GlyphFace> faces;
    std::map<uint32_t, Ink> ink;          // default: rows 10..49
    std::map<uint32_t, int> advances;     // default: 40
    std::map<uint32_t, int> renderCalls;
    std::map<uint32_t, int> advanceCalls;
    std::vector<std::string> createdFaces;
    int started = 0;
    int stopped = 0;
    int liveFonts = 0;

    void AddFace(const char *name, int kind)
    {
        GlyphFace face{};
        std::snprintf(face.name, sizeof(face.name), "%s", name);
        face.kind = kind;
        faces.push_back(face);
    }

    bool Start() override
    {
        ++started;
        return startOk;
    }
    void Stop() override { ++stopped; }
    int ListFaces(const char *, GlyphFace *out, int max) override
    {
        int n = 0;
        for (const GlyphFace &face : faces) {
            if (n == max) {
                break;
            }
            out[n++] = face;
        }
        return n;
    }
    GlyphFontHandle CreateFont(const char *face, const char *, int) override
    {
        if (!createOk) {
            return nullptr;
        }
        createdFaces.push_back(face);
        ++liveFonts;
        return this;
    }
    void DeleteFont(GlyphFontHandle) override { --liveFonts; }
    int Render(GlyphFontHandle, uint32_t unicode, uint8_t *coverage, int *firstRow, int *lastRow) override
    {
        ++renderCalls[unicode];
        std::memset(coverage, 0, GlyphPictureSide * GlyphPictureSide);
        const auto found = ink.find(unicode);
        const Ink rows = found != ink.end() ? found->second : Ink{10, 49};
        if (rows.first > rows.last) {
            return 0;
        }
        const int width = Width(unicode);
        for (int y = rows.first; y <= rows.last; ++y) {
            for (int x = 0; x < width && x < GlyphPictureSide; ++x) {
                coverage[y * GlyphPictureSide + x] = 255;
            }
        }
        *firstRow = rows.first;
        *lastRow = rows.last;
        return 1;
    }
    int Advance(GlyphFontHandle, uint32_t unicode) override
    {
        ++advanceCalls[unicode];
        return Width(unicode);
    }

private:
    int Width(uint32_t unicode) const
    {
        const auto found = advances.find(unicode);
        return found != advances.end() ? found->second : 40;
    }
};
