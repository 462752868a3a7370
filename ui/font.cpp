#include "ui/font.h"

#include <cmath>
#include <cstdint>

#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/data_stream.h"
#include "core/debug_log.h"
#include "core/float_math.h"
#include "core/font_face_settings.h"
#include "platform/window.h"
#include "ui/glyph_renderer.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"

FontGlyph FontGlyphs[FontGlyphCount];
CodePageTable *CodePageTables = nullptr;
int CodePageTableCount = 0;
int CodePageLetterCount = 0;
DoubleByteTable *DoubleByteTables = nullptr;
int DoubleByteTableCount = 0;
CodePageTable *CurrentCodePage = nullptr;
int TranslationCodePage = 0;
int KeyboardCodePage = 0;
int NounAfterAdjective = 0;

const int DoubleByteSlotTables[DoubleByteSlotCount] = {4, 7, 8, 9};
const char *const DoubleByteSlotNames[DoubleByteSlotCount] = {"SHIFTJIS", "CHINESEBIG5", "GB2312", "HANGUL"};
const char *const DoubleByteSlotLanguages[DoubleByteSlotCount] = {"ja", "zh-tw", "zh-cn", "ko"};
// One family covers all four scripts (package fonts-wqy-microhei).
const char *const DefaultCacheFaces[DoubleByteSlotCount] = {"WenQuanYi Micro Hei", "WenQuanYi Micro Hei",
                                                             "WenQuanYi Micro Hei", "WenQuanYi Micro Hei"};

RankedFace RankedFaces[MaxRankedFaces];
int RankedFaceCount = 0;
int ChosenFace = -1;
uint8_t CharBitmap[64 * 64];

namespace {

// The glyph back end in use: null while it is not started.
GlyphRenderer *GlyphBackEnd = nullptr;

// The letters after "^" that select tables 0..9, in table order.
constexpr char CodePageLetters[CodePageLetterLimit + 1] = "LETBJCGHSK";

// "^" escapes for characters that file names cannot hold.
struct CaretEscape {
    char letter;
    char character;
};
constexpr CaretEscape CaretEscapes[] = {
    {'a', '*'}, {'c', ':'}, {'d', '\\'}, {'h', '#'}, {'l', '<'},
    {'q', '?'}, {'r', '>'}, {'s', '/'}, {'t', '"'}, {'v', '|'},
};

// Smallest glyph record: point count, four counts, console bitmap.
constexpr uint64_t MinGlyphRecordBytes = 4 + 4 + GlyphBitmapSize;
constexpr uint64_t CodePageTableBytes = 4 + 4 * CodePageEntryCount;
constexpr uint64_t DoubleByteTableBytes = 2 * DoubleByteEntryCount;
constexpr uint64_t CurveBytes = 4 + 4 * 4;

// Glyphs from 96 on without points borrow this one's width.
constexpr int WidthDonorGlyph = 95;

// True when `bytes` more can be read from the stream.
bool Fits(const DataStream &stream, uint64_t bytes)
{
    const int64_t remaining = stream.Remaining();
    return remaining >= 0 && bytes <= static_cast<uint64_t>(remaining);
}

// Reads one glyph record. Returns 0, or -1 for a truncated record, an index
// past the glyph's points or strokes, or a value that is not a number; the
// glyph keeps what was allocated for FreeFont to release.
int ReadGlyph(DataStream &stream, FontGlyph &glyph)
{
    if (glyph.Read(&stream) != 0) {
        return -1;
    }
    for (uint32_t i = 0; i < glyph.count; ++i) {
        if (!std::isfinite(glyph.pairs[i].a) || !std::isfinite(glyph.pairs[i].b)) {
            return -1;
        }
    }
    glyph.strokeCount = static_cast<uint8_t>(stream.ReadU8());
    glyph.triangleCount = static_cast<uint8_t>(stream.ReadU8());
    glyph.dotCount = static_cast<uint8_t>(stream.ReadU8());
    glyph.curveCount = static_cast<uint8_t>(stream.ReadU8());
    const uint64_t bytes = 4u * (glyph.strokeCount + glyph.triangleCount + glyph.dotCount)
        + CurveBytes * glyph.curveCount + GlyphBitmapSize;
    if (stream.overrun || !Fits(stream, bytes)) {
        glyph.strokeCount = glyph.triangleCount = glyph.dotCount = glyph.curveCount = 0;
        return -1;
    }
    const uint32_t points = glyph.count;
    bool valid = true;

    if (glyph.strokeCount) {
        glyph.strokes = new GlyphStroke[glyph.strokeCount];
    }
    for (int i = 0; i < glyph.strokeCount; ++i) {
        GlyphStroke &stroke = glyph.strokes[i];
        stroke.first = static_cast<uint8_t>(stream.ReadU8());
        stroke.second = static_cast<uint8_t>(stream.ReadU8());
        stroke.spare[0] = static_cast<uint8_t>(stream.ReadU8());
        stroke.spare[1] = static_cast<uint8_t>(stream.ReadU8());
        stroke.angle = 0.0f;
        valid = valid && stroke.first < points && stroke.second < points;
    }
    if (glyph.triangleCount) {
        glyph.triangles = new GlyphTriangle[glyph.triangleCount];
    }
    for (int i = 0; i < glyph.triangleCount; ++i) {
        GlyphTriangle &triangle = glyph.triangles[i];
        stream.ReadBytes(&triangle, sizeof(triangle));
        valid = valid && triangle.corner[0] < points && triangle.corner[1] < points && triangle.corner[2] < points;
    }
    if (glyph.dotCount) {
        glyph.dots = new GlyphDot[glyph.dotCount];
    }
    for (int i = 0; i < glyph.dotCount; ++i) {
        GlyphDot &dot = glyph.dots[i];
        stream.ReadBytes(&dot, sizeof(dot));
        valid = valid && dot.point < points;
    }
    if (glyph.curveCount) {
        glyph.curves = new GlyphCurve[glyph.curveCount];
    }
    for (int i = 0; i < glyph.curveCount; ++i) {
        GlyphCurve &curve = glyph.curves[i];
        curve.startStroke = static_cast<uint8_t>(stream.ReadU8());
        curve.endStroke = static_cast<uint8_t>(stream.ReadU8());
        curve.startTurn = static_cast<uint8_t>(stream.ReadU8());
        curve.endTurn = static_cast<uint8_t>(stream.ReadU8());
        for (int side = 0; side < 2; ++side) {
            for (int end = 0; end < 2; ++end) {
                curve.slope[side][end] = stream.ReadFloat();
                valid = valid && std::isfinite(curve.slope[side][end]);
            }
        }
        valid = valid && curve.startStroke < glyph.strokeCount && curve.endStroke < glyph.strokeCount;
    }
    stream.ReadBytes(glyph.consoleBitmap, GlyphBitmapSize);
    return valid && !stream.overrun ? 0 : -1;
}

// Width, pixel width and stroke directions, from the glyphs as read.
void MeasureGlyphs()
{
    for (int i = 0; i < FontGlyphCount; ++i) {
        FontGlyph &glyph = FontGlyphs[i];
        float width = 1.0f;
        for (uint32_t k = 0; k < glyph.count; ++k) {
            if (glyph.pairs[k].a > width) {
                width = glyph.pairs[k].a;
            }
        }
        for (int k = 0; k < glyph.dotCount; ++k) {
            const GlyphDot &dot = glyph.dots[k];
            const float right = glyph.pairs[dot.point].a + 0.1f * static_cast<float>(dot.radiusX);
            if (right > width) {
                width = right;
            }
        }
        if (i > WidthDonorGlyph && glyph.count == 0) {
            width = FontGlyphs[WidthDonorGlyph].width;
        }
        glyph.width = width;
        const float pixels = std::floor(static_cast<float>(GlyphMaxPixelWidth) * width / GlyphCellWidth + 0.5f);
        glyph.pixelWidth = pixels < static_cast<float>(GlyphMaxPixelWidth) ? static_cast<int>(pixels) : GlyphMaxPixelWidth;

        for (int k = 0; k < glyph.strokeCount; ++k) {
            GlyphStroke &stroke = glyph.strokes[k];
            const FloatPair &a = glyph.pairs[stroke.first];
            const FloatPair &b = glyph.pairs[stroke.second];
            stroke.angle = FloatAtan2(b.b - a.b, b.a - a.a);
        }
    }
}

// Reads the glyph records: the first 544 into FontGlyphs, any further ones
// only passed over so that the tables after them are found.
int ReadGlyphs(DataStream &stream)
{
    const uint32_t count = stream.ReadU32();
    if (stream.overrun || !Fits(stream, MinGlyphRecordBytes * count)) {
        return -1;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (i < static_cast<uint32_t>(FontGlyphCount)) {
            if (ReadGlyph(stream, FontGlyphs[i]) != 0) {
                return -1;
            }
        } else {
            FontGlyph extra;
            if (ReadGlyph(stream, extra) != 0) {
                return -1;
            }
        }
    }
    return 0;
}

// Reads the code-page and double-byte tables and checks that every entry
// names a glyph or double-byte table that exists.
int ReadTables(DataStream &stream)
{
    const uint32_t tables = stream.ReadU32();
    if (stream.overrun || tables == 0 || !Fits(stream, CodePageTableBytes * tables)) {
        return -1;
    }
    CodePageTables = new CodePageTable[tables];
    CodePageTableCount = static_cast<int>(tables);
    for (uint32_t t = 0; t < tables; ++t) {
        CodePageTable &table = CodePageTables[t];
        table.number = static_cast<uint16_t>(stream.ReadU32());
        for (CodePageEntry &entry : table.entries) {
            entry.glyph = static_cast<uint16_t>(stream.ReadU16());
            entry.accent = static_cast<uint8_t>(stream.ReadU8());
            entry.flags = static_cast<uint8_t>(stream.ReadU8());
        }
    }

    const uint32_t doubleByteTables = stream.ReadU32();
    if (stream.overrun || !Fits(stream, DoubleByteTableBytes * doubleByteTables)) {
        return -1;
    }
    if (doubleByteTables) {
        DoubleByteTables = new DoubleByteTable[doubleByteTables];
    }
    DoubleByteTableCount = static_cast<int>(doubleByteTables);
    for (uint32_t t = 0; t < doubleByteTables; ++t) {
        for (DoubleByteEntry &entry : DoubleByteTables[t].entries) {
            entry.unicode = static_cast<uint16_t>(stream.ReadU16());
            entry.cacheSlot = NoCacheSlot;
            entry.pixelWidth = 0;
        }
    }
    if (stream.overrun) {
        return -1;
    }

    for (int t = 0; t < CodePageTableCount; ++t) {
        for (const CodePageEntry &entry : CodePageTables[t].entries) {
            const int limit = (entry.flags & CodePageDoubleByteFlag) ? DoubleByteTableCount : FontGlyphCount;
            if (entry.glyph >= limit || entry.accent >= FontGlyphCount) {
                return -1;
            }
        }
    }
    // Each double-byte table learns the page whose lead byte leads to it.
    for (int t = 0; t < CodePageTableCount; ++t) {
        for (int byte = 128; byte < 256; ++byte) {
            const CodePageEntry &entry = CodePageTables[t].entries[byte - CodePageFirstByte];
            if (entry.flags & CodePageDoubleByteFlag) {
                DoubleByteTables[entry.glyph].codePage = &CodePageTables[t];
            }
        }
    }
    // A double-byte page stays unavailable until its cache font is made.
    for (int slot = 0; slot < DoubleByteSlotCount; ++slot) {
        if (DoubleByteSlotTables[slot] < CodePageTableCount) {
            CodePageTable &table = CodePageTables[DoubleByteSlotTables[slot]];
            table.Unavailable = 1;
            table.doubleByteSlot = static_cast<uint8_t>(slot);
        }
    }
    CodePageLetterCount = CodePageTableCount < CodePageLetterLimit ? CodePageTableCount : CodePageLetterLimit;
    return 0;
}

CodePageTable *SlotTable(int slot)
{
    if (slot < 0 || slot >= DoubleByteSlotCount || DoubleByteSlotTables[slot] >= CodePageTableCount) {
        return nullptr;
    }
    return &CodePageTables[DoubleByteSlotTables[slot]];
}

void DeleteCacheFont(CodePageTable &table)
{
    if (table.cacheFont != nullptr && GlyphBackEnd != nullptr) {
        GlyphBackEnd->DeleteFont(table.cacheFont);
    }
    table.cacheFont = nullptr;
}

// Steps 4 to 6 of InitFont: the back end, then a cache font for each
// double-byte page that has a face.
void StartCacheFonts()
{
    GlyphRenderer *renderer = ActiveGlyphRenderer();
    if (renderer->Start()) {
        GlyphBackEnd = renderer;
        for (int slot = 0; slot < DoubleByteSlotCount; ++slot) {
            CodePageTable *table = SlotTable(slot);
            if (table == nullptr) {
                continue;
            }
            table->Unavailable = 1;
            if (EnumerateFonts(slot) > 0) {
                CreateCacheFont(slot);
            } else {
                LogPrintf("no fonts available : %s", DoubleByteSlotNames[slot]);
            }
        }
    } else {
        LogLine("Could not start the character renderer");
    }
    LogLine("-----");
    std::memset(CharBitmap, 0, sizeof(CharBitmap));
}

int RankOf(int slot, const GlyphFace &face)
{
    if (std::strcmp(face.name, DefaultCacheFaces[slot]) == 0) {
        return 3;
    }
    if (face.kind == GlyphFaceSans) {
        return 2;
    }
    return face.kind == GlyphFaceMonospace ? 1 : 0;
}

} // namespace

int EnumerateFonts(int slot)
{
    RankedFaceCount = 0;
    ChosenFace = -1;
    if (GlyphBackEnd == nullptr || slot < 0 || slot >= DoubleByteSlotCount) {
        return 0;
    }
    static GlyphFace faces[4 * MaxRankedFaces];
    const int listed = GlyphBackEnd->ListFaces(DoubleByteSlotLanguages[slot], faces, 4 * MaxRankedFaces);
    for (int i = 0; i < listed && RankedFaceCount < MaxRankedFaces; ++i) {
        // Faces whose name begins below 'A' are the vertical variants ("@...").
        if (static_cast<unsigned char>(faces[i].name[0]) < 'A') {
            continue;
        }
        const int rank = RankOf(slot, faces[i]);
        int at = 0;
        while (at < RankedFaceCount && RankedFaces[at].rank >= rank) {
            ++at;
        }
        for (int k = RankedFaceCount; k > at; --k) {
            RankedFaces[k] = RankedFaces[k - 1];
        }
        RankedFaces[at].rank = rank;
        const size_t length = strnlen(faces[i].name, sizeof(RankedFaces[at].name) - 1);
        std::memcpy(RankedFaces[at].name, faces[i].name, length);
        RankedFaces[at].name[length] = 0;
        ++RankedFaceCount;
    }
    if (RankedFaceCount == 0) {
        return 0;
    }
    ChosenFace = 0;
    for (int i = 0; i < RankedFaceCount; ++i) {
        if (std::strcmp(RankedFaces[i].name, FontFaceSettings[slot].name) == 0) {
            ChosenFace = i;
            break;
        }
    }
    return RankedFaceCount;
}

int CreateCacheFont(int slot)
{
    CodePageTable *table = SlotTable(slot);
    if (table == nullptr || GlyphBackEnd == nullptr) {
        return 0;
    }
    DeleteCacheFont(*table);
    table->Unavailable = 1;
    if (ChosenFace < 0 || ChosenFace >= RankedFaceCount) {
        return 0;
    }
    const char *face = RankedFaces[ChosenFace].name;
    table->cacheFont = GlyphBackEnd->CreateFont(face, DoubleByteSlotLanguages[slot], FontFaceSettings[slot].weight);
    if (table->cacheFont == nullptr) {
        LogPrintf("could not create font : %s", DoubleByteSlotNames[slot]);
        return 0;
    }
    int first = 0;
    int last = 0;
    if (!RenderCharsGDI(slot, 'E', &first, &last)) {
        DeleteCacheFont(*table);
        return 0;
    }
    const int h = last - first + 1;
    const int t = first - 3;
    table->inkHeight = h;
    table->CacheTop = 0.78f * static_cast<float>(t) / static_cast<float>(h);
    table->CacheBottom = 0.78f * static_cast<float>(62 - t) / static_cast<float>(h);
    table->Unavailable = 0;
    table->doubleByteSlot = static_cast<uint8_t>(slot);
    std::snprintf(FontFaceSettings[slot].name, sizeof(FontFaceSettings[slot].name), "%s", face);
    LogPrintf("%s : %s", DoubleByteSlotNames[slot], face);
    return 1;
}

int RenderCharsGDI(int slot, uint32_t character, int *top, int *bottom)
{
    CodePageTable *table = SlotTable(slot);
    std::memset(CharBitmap, 0, sizeof(CharBitmap));
    if (table == nullptr || table->cacheFont == nullptr || GlyphBackEnd == nullptr) {
        return 0;
    }
    int first = 0;
    int last = 0;
    const int result = GlyphBackEnd->Render(table->cacheFont, character, CharBitmap, &first, &last);
    if (result < 0) {
        LogPrintf("DrawTextW failed : %s", DoubleByteSlotNames[slot]);
        return 0;
    }
    if (result == 0) {
        return 0;
    }
    if (top != nullptr) {
        *top = first;
    }
    if (bottom != nullptr) {
        *bottom = last;
    }
    return 1;
}

int CacheCharWidth(int slot, uint32_t character)
{
    CodePageTable *table = SlotTable(slot);
    if (table == nullptr || table->cacheFont == nullptr || GlyphBackEnd == nullptr) {
        return -1;
    }
    return GlyphBackEnd->Advance(table->cacheFont, character);
}

void UpdateKeyboardCodePage(int announce)
{
    const int number = PlatformGetKeyboardCodePage();
    int found = 0;
    for (int t = 0; t < CodePageLetterCount; ++t) {
        if (CodePageTables[t].number == number) {
            found = t;
            break;
        }
    }
    if (found == KeyboardCodePage) {
        return;
    }
    KeyboardCodePage = found;
    char text[64];
    std::snprintf(text, sizeof(text), "Keyboard code page : %d",
                  CodePageTableCount > 0 ? CodePageTables[found].number : number);
    if (announce) {
        PrintMessage(text, &MessageColours[ColourLightGrey]);
    } else {
        LogLine(text);
    }
}

FontGlyph::~FontGlyph()
{
    Free();
}

void FontGlyph::Free()
{
    delete[] strokes;
    delete[] triangles;
    delete[] dots;
    delete[] curves;
    strokes = nullptr;
    triangles = nullptr;
    dots = nullptr;
    curves = nullptr;
    strokeCount = triangleCount = dotCount = curveCount = 0;
    width = 0.0f;
    pixelWidth = 0;
    FloatPairTable::Free();
}

int InitFont(const char *path)
{
    FreeFont();
    DataStream stream;
    int version = 0;
    stream.OpenRead(nullptr, path, FontFileId, &version, FontFileVersion, 0);
    if (!stream.file) {
        return 0;
    }
    if (version < FontFileVersion || ReadGlyphs(stream) != 0 || ReadTables(stream) != 0) {
        stream.Close();
        FreeFont();
        return 0;
    }
    stream.Close();
    MeasureGlyphs();
    SelectCodePage(0);
    int numbers[CodePageLetterLimit];
    for (int t = 0; t < CodePageLetterCount; ++t) {
        numbers[t] = CodePageTables[t].number;
    }
    PlatformSetTypingCodePages(numbers, CodePageLetterCount);
    AllocTextBatches();
    StartCacheFonts();
    return 1;
}

void FreeFont()
{
    FreeTextBatches();
    ClearCharCaches();
    for (int t = 0; t < CodePageTableCount; ++t) {
        DeleteCacheFont(CodePageTables[t]);
    }
    if (GlyphBackEnd != nullptr) {
        GlyphBackEnd->Stop();
        GlyphBackEnd = nullptr;
    }
    for (FontGlyph &glyph : FontGlyphs) {
        glyph.Free();
    }
    delete[] CodePageTables;
    CodePageTables = nullptr;
    CodePageTableCount = 0;
    CodePageLetterCount = 0;
    delete[] DoubleByteTables;
    DoubleByteTables = nullptr;
    DoubleByteTableCount = 0;
    CurrentCodePage = nullptr;
}

void SelectCodePageTo(int n, int *out)
{
    if (n < 0 || n >= CodePageTableCount) {
        n = 0;
    }
    if (out) {
        *out = n;
    } else {
        CurrentCodePage = CodePageTableCount > 0 ? &CodePageTables[n] : nullptr;
    }
}

void SelectCodePage(int n)
{
    SelectCodePageTo(n, nullptr);
}

int DecodeCaretLetter(int letter, int *out)
{
    for (int i = 0; i < CodePageLetterCount; ++i) {
        if (letter == CodePageLetters[i]) {
            SelectCodePageTo(i, out);
            return 0;
        }
    }
    for (const CaretEscape &escape : CaretEscapes) {
        if (letter == escape.letter) {
            return escape.character;
        }
    }
    return letter;
}
