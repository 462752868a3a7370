#include "ui/interface_draw.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/colour.h"
#include "core/main_window.h"
#include "core/settings.h"
#include "core/text_utils.h"
#include "platform/graphics_device.h"
#include "render/geometry_batch.h"
#include "render/material.h"
#include "render/render_device.h"
#include "render/screen_modes.h"
#include "render/state_cache.h"
#include "render/texture_manager.h"
#include "ui/font.h"
#include "ui/interface_colours.h"
#include "ui/interface_items.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"
#include "ui/text_draw.h"

float ScreenAspect = 1.0f;
float WidthOverHeight = 1.0f;
float PixelWidth = 0.0f;
float PixelHeight = 0.0f;
float TextWidthScale = 1.0f;
uint32_t InterfaceLayerMode = 0;
int InterfaceBatchMode = BatchNone;
const char *const LargeButtonTextureName = "BUTTALPHA";
const char *const SmallButtonTextureName = "SMLBALPHA";
const char *const IconTextureName = "LANGICONS";

namespace {

constexpr float SmallFaceLimit = 0.099f;
constexpr float LargeCorner = 0.016f;
constexpr float SmallCorner = 0.008f;
constexpr float TextureMiddleLow = 0.49f;
constexpr float TextureMiddleHigh = 0.51f;
constexpr int PressedDarkening = 24;
constexpr int GlyphTick = 117;

// The texture of each batch mode, looked up by name on first use; a picture
// that cannot be had is tried once and its faces go untextured.
struct ModeTexture {
    const char *name;
    int tried;
};
ModeTexture ModeTextures[4] = {{LargeButtonTextureName, 0}, {SmallButtonTextureName, 0}, {nullptr, 0},
                               {IconTextureName, 0}};

Material *MaterialOfMode(int mode)
{
    TextureRecord *texture = nullptr;
    ModeTexture &entry = ModeTextures[mode];
    if (entry.name != nullptr) {
        texture = FindTexture(entry.name);
        if (texture == nullptr && !entry.tried) {
            entry.tried = 1;
            texture = GetTexture(entry.name, 0);
            if (texture == PlaceholderTexture) {
                texture = nullptr;
            }
        }
    }
    Material *material = LookupMaterial(texture, 0, 0, 0, 0, nullptr);
    return material != nullptr ? material : GetMaterial(texture, 0, 0, 0, 0, nullptr);
}

void SetBatchMode(int mode)
{
    if (mode == InterfaceBatchMode) {
        return;
    }
    FlushInterfaceBatch();
    BeginScreenBatch(MaterialOfMode(mode));
    InterfaceBatchMode = mode;
}

void FlushWhenFull()
{
    if (InterfaceBatchMode != BatchNone && ScreenBatch.vertexCount >= static_cast<uint32_t>(InterfaceFlushVertices)) {
        FlushInterfaceBatch();
    }
}

void AddRect(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1, uint32_t colour)
{
    const uint16_t a = AddScreenVertex(x0, y0, u0, v0, colour);
    const uint16_t b = AddScreenVertex(x1, y0, u1, v0, colour);
    const uint16_t c = AddScreenVertex(x1, y1, u1, v1, colour);
    const uint16_t d = AddScreenVertex(x0, y1, u0, v1, colour);
    AddScreenQuad(a, b, c, d);
}

// Up to three columns and rows of patches; empty ones are skipped.
void AddPatches(const float *xs, const float *us, int columns, const float *ys, const float *vs, int rows,
                uint32_t colour)
{
    for (int r = 0; r < rows; ++r) {
        if (!(ys[r + 1] > ys[r])) {
            continue;
        }
        for (int c = 0; c < columns; ++c) {
            if (!(xs[c + 1] > xs[c])) {
                continue;
            }
            AddRect(xs[c], ys[r], xs[c + 1], ys[r + 1], us[c], vs[r], us[c + 1], vs[r + 1], colour);
        }
    }
}

uint32_t PackText(const Colour *colour, int pressed)
{
    const Colour &c = colour != nullptr ? *colour : MessageColours[ColourWhite];
    return FaceColour(pressed, c.red, c.green, c.blue, 0xff000000u);
}

uint32_t PackFace(const Colour *colour, int pressed, uint32_t alpha)
{
    const Colour &c = colour != nullptr ? *colour : MessageColours[ColourWhite];
    return FaceColour(pressed, c.red, c.green, c.blue, alpha);
}

int IsBigText(const InterfaceItem &item)
{
    return item.Colour == &InterfaceColours.bigText ? 1 : 0;
}

// A translucent face: "Big Col" for items in "Big Text", else "Button Col".
void ButtonFaceOf(const InterfaceItem &item, int pressed, int allowBig)
{
    const int big = allowBig && IsBigText(item);
    DrawButtonFace(big ? &InterfaceColours.bigCol : &InterfaceColours.buttonCol, pressed, item.x0, item.y0, item.x1,
                   item.y1, 0, big);
}

void PanelFace(const InterfaceItem &item, int pressed)
{
    DrawButtonFace(&InterfaceColours.bigCol, pressed, item.x0, item.y0, item.x1, item.y1, 0, 1);
}

// The knob's x of a slider, kept 0.01 inside each end; an empty range sits
// at its minimum.
float KnobX(const InterfaceItem &item, float value, float min, float max)
{
    const float share = max != min ? (value - min) / (max - min) : 0.0f;
    float x = item.x0 + (item.x1 - item.x0) * share;
    const float left = item.x0 + 0.01f;
    const float right = item.x1 - 0.01f;
    x = x > right ? right : x;
    x = x < left ? left : x;
    return x;
}

void DrawKnob(const InterfaceItem &item, float x, const Colour *colour)
{
    DrawButtonFace(colour, 0, x - 0.005f, item.y0 + 0.005f, x + 0.005f, item.y1 - 0.005f, 3, 0);
}

// The value and range of a slider kind, as floats.
void SliderValue(const InterfaceItem &item, float *value, float *min, float *max)
{
    *value = 0.0f;
    *min = 0.0f;
    *max = 0.0f;
    if (item.Param.p == nullptr) {
        return;
    }
    switch (item.Kind) {
    case ItemFloatSlider:
    case ItemThousandthsSlider:
    case ItemAngleSlider:
        *value = *static_cast<const float *>(item.Param.p);
        *min = item.Text.f;
        *max = item.Arg.f;
        break;
    case ItemColourComponent:
        *value = *static_cast<const uint8_t *>(item.Param.p);
        *min = static_cast<float>(item.Text.i);
        *max = static_cast<float>(item.Arg.i);
        break;
    case ItemByteSlider:
        *value = *static_cast<const uint8_t *>(item.Param.p);
        *min = item.Lo;
        *max = item.Hi;
        break;
    case ItemWordSlider:
        *value = *static_cast<const uint16_t *>(item.Param.p);
        *min = item.Sub ? 0.0f : std::round(item.Text.f);
        *max = item.Sub ? 65534.0f : std::round(item.Arg.f);
        break;
    default:
        break;
    }
}

void DrawFaceOf(const InterfaceItem &item, int flag)
{
    const int pressed = ItemPressed(item);
    const float width = item.x1 - item.x0;
    switch (item.Kind) {
    case ItemButton:
    case ItemLargeText:
    case ItemPlainButton:
    case ItemRowLabel:
    case ItemTextField:
    case ItemBytePlus:
    case ItemByteMinus:
    case ItemWordPlus:
    case ItemWordMinus:
    case ItemFloatPlus:
    case ItemFloatMinus:
    case ItemTimeButton:
        ButtonFaceOf(item, pressed, 1);
        break;
    case ItemTick:
    case ItemColourBox:
        DrawButtonFace(item.Colour, pressed, item.x0, item.y0, item.x1, item.y1, 2, 0);
        break;
    case ItemBarButton:
        DrawButtonFace(item.Colour, pressed, item.x0, item.y0, item.x1, item.y1, 3, 0);
        break;
    case ItemRowButton:
        DrawRowFace(IsBigText(item) ? &InterfaceColours.bigCol : &InterfaceColours.buttonCol, pressed, item.x0,
                    item.y0, item.x1, item.y1, IsBigText(item));
        break;
    case ItemTitleBar:
        DrawTitleBar(item);
        break;
    case ItemPasswordField:
    case ItemTextField2:
    case ItemCycle:
    case ItemToggle:
    case ItemChoice:
    case ItemHelp:
    case ItemListUp:
    case ItemListDown:
    case ItemIntegerValue:
    case ItemFloatValue:
        ButtonFaceOf(item, pressed, 0);
        break;
    case ItemPanelRowLabel:
    case ItemPanelValue:
    case ItemFloatRight:
    case ItemFloatLeft:
    case ItemFloatThousandths:
    case ItemFloatDegrees:
    case ItemPanelInteger:
    case ItemPanelTime:
        if (flag && width > 0.0f) {
            PanelFace(item, pressed);
        }
        break;
    case ItemTextLeft:
    case ItemTextCentre:
    case ItemTextRight:
        if (item.Arg2.i == 1) {
            ButtonFaceOf(item, pressed, 1);
        } else if (item.Arg2.i >= 2) {
            PanelFace(item, pressed);
        }
        break;
    case ItemFloatSlider:
    case ItemThousandthsSlider:
    case ItemAngleSlider:
    case ItemByteSlider:
    case ItemWordSlider:
    case ItemColourComponent: {
        if (item.Kind == ItemColourComponent) {
            DrawButtonFace(item.Colour, 0, item.x0, item.y0, item.x1, item.y1, 3, 0);
        } else {
            ButtonFaceOf(item, 0, 1);
        }
        float value = 0.0f;
        float min = 0.0f;
        float max = 0.0f;
        SliderValue(item, &value, &min, &max);
        DrawKnob(item, KnobX(item, value, min, max), &InterfaceColours.bigText);
        break;
    }
    case ItemScrollBar: {
        ButtonFaceOf(item, 0, 0);
        const float total = static_cast<float>(item.Arg2.i);
        if (total > 0.0f) {
            const float height = item.y1 - item.y0;
            const float mid = (item.x0 + item.x1) * 0.5f;
            float top = item.y0 + height * static_cast<float>(item.Text.i) / total;
            float bottom = item.y0 + height * static_cast<float>(item.Arg.i) / total;
            top = top < item.y0 + 0.005f ? item.y0 + 0.005f : top;
            bottom = bottom > item.y1 - 0.005f ? item.y1 - 0.005f : bottom;
            if (bottom > top) {
                DrawButtonFace(&InterfaceColours.textUnselected, 0, mid - 0.005f, top, mid + 0.005f, bottom, 3, 0);
            }
        }
        break;
    }
    case ItemCharacterCell:
        if ((item.Arg2.i & 0x20) == 0 && !(item.Arg2.i == 0 && item.Text.i == 0x220)) {
            ButtonFaceOf(item, pressed, 0);
        } else {
            PanelFace(item, 1);
        }
        break;
    case ItemIcon: {
        SetBatchMode(BatchIcons);
        const int icon = static_cast<int>(item.Arg.i);
        const float u0 = (static_cast<float>(icon % 5 * 48) - 1.0f) / 256.0f;
        const float v0 = (static_cast<float>(icon / 5 * 32) - 1.0f) / 256.0f;
        const float u1 = static_cast<float>(icon % 5 * 48 + 48) / 256.0f;
        const float v1 = static_cast<float>(icon / 5 * 32 + 32) / 256.0f;
        AddRect(item.x0, item.y0, item.x1, item.y1, u0, v0, u1, v1, 0xc0ffffffu);
        FlushWhenFull();
        break;
    }
    default:
        break;
    }
}

uint32_t BandColour(int arg)
{
    switch (arg) {
    case -6:
        return 0xff504040u;
    case -5:
        return 0xff705050u;
    case -4:
        return 0xff404050u;
    case -3:
        return 0xff505070u;
    default:
        return 0xff000000u;
    }
}

// Kind 11's bands and kinds 45 and 51, over the other faces.
void DrawSecondFaces()
{
    for (int i = 0; i < InterfaceItemCount; ++i) {
        const InterfaceItem &item = InterfaceItems[i];
        if (item.Kind == ItemTextLine && item.Arg.i >= -6 && item.Arg.i <= -3) {
            DrawShadeRect(item.x0, item.y0, item.x1, item.y1, BandColour(static_cast<int>(item.Arg.i)));
        } else if (item.Kind == ItemShade) {
            DrawShadeRect(item.x0, item.y0, item.x1, item.y1, static_cast<uint32_t>(item.Param.i));
        } else if (item.Kind == ItemStripes && item.Param.i > 0) {
            const int parts = static_cast<int>(item.Param.i);
            const float step = (item.x1 - item.x0) / static_cast<float>(parts);
            const int arg = static_cast<int>(item.Arg.i);
            for (int p = 0; p < parts; ++p) {
                const int band = p % 2 == 0 ? (arg ^ 1) : arg;
                DrawShadeRect(item.x0 + step * p, item.y0, item.x0 + step * (p + 1), item.y1, BandColour(band));
            }
        }
    }
}

// One text in an item: a box of boxScale x the height, size half the box,
// centred vertically, scaled down to fit between margins of 0.15 x height.
void ItemText(const InterfaceItem &item, const char *text, int align, float boxScale, uint32_t colour,
              float rightInset = 0.0f, int cursor = CursorNone, int clip = 0)
{
    if (text == nullptr || text[0] == 0) {
        return;
    }
    const float height = item.y1 - item.y0;
    const float box = height * boxScale;
    float size = box * 0.5f;
    const float margin = 0.15f * height;
    const float x0 = item.x0;
    const float x1 = item.x1 - rightInset;
    const float room = (x1 - x0) - 2.0f * margin;
    float width = MeasureCodedText(text, size, item.CodePage);
    if (width > room && room > 0.0f && width > 0.0f) {
        size *= room / width;
        width = room;
    }
    float x = (x0 + x1 - width) * 0.5f;
    if (align == 1) {
        x = x0 + margin;
    } else if (align == 2) {
        x = x1 - margin - width;
    }
    const float y = item.y0 + (height - box) * 0.5f;
    DrawCodedText(text, x, y, size, box, clip, colour, colour, cursor, item.CodePage);
}

float NormalBox(const InterfaceItem &item)
{
    return item.y1 - item.y0 >= SmallFaceLimit ? 0.7f : 0.85f;
}

void Bullets(const char *text, char *out, int size)
{
    int n = 0;
    for (; text != nullptr && text[n] != 0 && n < size - 1; ++n) {
        out[n] = '*';
    }
    out[n] = 0;
}

void DrawTextOf(const InterfaceItem &item, int flag)
{
    const int pressed = ItemPressed(item);
    const Colour *textColour = item.Colour;
    const uint32_t colour = PackText(textColour, pressed);
    const float box = NormalBox(item);
    const char *text = static_cast<const char *>(item.Text.p);
    const int align = static_cast<int>(item.Arg2.i);
    char buffer[160];
    switch (item.Kind) {
    case ItemButton:
    case ItemPlainButton:
        ItemText(item, text, align, box, colour);
        break;
    case ItemLargeText:
        ItemText(item, text, 0, 1.5f, colour);
        break;
    case ItemBarButton:
        ItemText(item, text, 0, 0.55f, PackText(&MessageColours[ColourBlack], pressed));
        break;
    case ItemRowLabel:
        ItemText(item, text, 0, box, colour, 0.15f);
        break;
    case ItemRowButton:
        ItemText(item, text, 2, box, colour);
        break;
    case ItemTextField:
    case ItemTextField2:
        ItemText(item, text, 0, box, colour);
        break;
    case ItemPasswordField:
        Bullets(text, buffer, sizeof(buffer));
        ItemText(item, buffer, 0, box, colour);
        break;
    case ItemPasswordLine:
        Bullets(text, buffer, sizeof(buffer));
        ItemText(item, buffer, align, box, colour, 0.0f, item.Arg.i >= 0 ? static_cast<int>(item.Arg.i) : CursorNone);
        break;
    case ItemTextLine:
        ItemText(item, text, align, box, colour, 0.0f, item.Arg.i >= 0 ? static_cast<int>(item.Arg.i) : CursorNone);
        break;
    case ItemPanelLabel:
    case ItemPanelRowLabel:
    case ItemPanelValue:
    case ItemFloatRight:
    case ItemFloatLeft:
    case ItemFloatThousandths:
    case ItemFloatDegrees:
    case ItemPanelInteger:
    case ItemPanelTime: {
        const uint32_t panelColour = flag ? PackText(&InterfaceColours.bigText, pressed) : colour;
        const char *shown = text;
        if (item.Kind >= ItemFloatRight && item.Kind <= ItemFloatDegrees && text != nullptr) {
            double value = item.Param.f;
            if (item.Kind == ItemFloatThousandths) {
                value *= 0.001;
            } else if (item.Kind == ItemFloatDegrees) {
                value *= 57.29577951;
            }
            if (item.Arg2.i == 2) {
                std::snprintf(buffer, sizeof(buffer), text, value, static_cast<double>(item.Arg.f));
            } else {
                std::snprintf(buffer, sizeof(buffer), text, value);
            }
            shown = buffer;
        } else if (item.Kind == ItemPanelInteger) {
            std::snprintf(buffer, sizeof(buffer), "%d", static_cast<int>(item.Param.i));
            shown = buffer;
        } else if (item.Kind == ItemPanelTime) {
            FormatRaceTime(buffer, sizeof(buffer), "", 0, static_cast<int>(item.Param.i / 10), 0);
            shown = buffer;
        }
        const int right = item.Kind == ItemPanelValue || item.Kind == ItemFloatRight;
        ItemText(item, shown, right ? 2 : 1, box, panelColour);
        break;
    }
    case ItemTextLeft:
    case ItemTextCentre:
    case ItemTextRight: {
        const char *pointed = static_cast<const char *>(item.Text.p);
        ItemText(item, pointed, item.Kind == ItemTextLeft ? 1 : (item.Kind == ItemTextCentre ? 0 : 2), box, colour);
        break;
    }
    case ItemTick:
    case ItemColourBox:
        if (item.Text.i != 0) {
            const float height = item.y1 - item.y0;
            const float size = height * 0.5f;
            const float x = (item.x0 + item.x1) * 0.5f - MeasureCodedText("\x75", size, 10) * 0.5f;
            QueueGlyphQuad(GlyphTick, x, item.y0, size, height, 0, colour, colour);
        }
        break;
    case ItemCycle: {
        const char *const *texts = static_cast<const char *const *>(item.Text.p);
        if (texts != nullptr && item.Param.p != nullptr) {
            ItemText(item, texts[*static_cast<const int *>(item.Param.p)], 0, box, colour);
        }
        break;
    }
    case ItemToggle: {
        const char *const *texts = static_cast<const char *const *>(item.Text.p);
        if (texts != nullptr && item.Param.p != nullptr) {
            const int on = (*static_cast<const int *>(item.Param.p) & static_cast<int>(item.Arg.i)) != 0;
            ItemText(item, texts[on], 0, box, colour);
        }
        break;
    }
    case ItemChoice: {
        const char *const *pointed = static_cast<const char *const *>(item.Text.p);
        ItemText(item, pointed != nullptr ? *pointed : nullptr, 0, box, colour);
        break;
    }
    case ItemHelp:
        ItemText(item, "?", 0, box, colour);
        break;
    case ItemBytePlus:
    case ItemWordPlus:
    case ItemFloatPlus:
        ItemText(item, "\x9b", 0, box, colour);
        break;
    case ItemByteMinus:
    case ItemWordMinus:
    case ItemFloatMinus:
        ItemText(item, "\x8b", 0, box, colour);
        break;
    case ItemListUp:
        ItemText(item, "\xb9", 0, box, colour);
        break;
    case ItemListDown:
        ItemText(item, "\xba", 0, box, colour);
        break;
    case ItemIntegerValue:
        if (text != nullptr) {
            std::snprintf(buffer, sizeof(buffer), text, static_cast<int>(item.Param.i));
            ItemText(item, buffer, 0, box, colour);
        }
        break;
    case ItemFloatValue:
        if (text != nullptr) {
            std::snprintf(buffer, sizeof(buffer), text, static_cast<double>(item.Param.f));
            ItemText(item, buffer, 0, box, colour);
        }
        break;
    case ItemTimeButton:
        FormatRaceTime(buffer, sizeof(buffer), text != nullptr ? text : "", 0, static_cast<int>(item.Param.i / 10), 0);
        ItemText(item, buffer, 0, box, colour);
        break;
    case ItemStackedLetters:
        if (text != nullptr) {
            const float quarter = (item.y1 - item.y0) * 0.25f;
            for (int i = 0; i < 3 && text[i] != 0; ++i) {
                const char letter[2] = {text[i], 0};
                const float width = MeasureCodedText(letter, quarter, item.CodePage);
                DrawCodedText(letter, (item.x0 + item.x1 - width) * 0.5f, item.y0 + quarter * (0.5f + i), quarter,
                              quarter, 0, colour, colour, CursorNone, item.CodePage);
            }
        }
        break;
    case ItemStripes: {
        const int parts = static_cast<int>(item.Param.i);
        const char *glyphs = static_cast<const char *>(item.Arg2.p);
        if (parts > 0 && glyphs != nullptr) {
            const float step = (item.x1 - item.x0) / static_cast<float>(parts);
            const float height = (item.y1 - item.y0) * 0.75f;
            for (int i = 0; i < parts && i < 32; ++i) {
                if ((item.Text.i >> i) & 1) {
                    const char glyph[2] = {glyphs[i], 0};
                    const float width = MeasureCodedText(glyph, height * 0.5f, item.CodePage);
                    DrawCodedText(glyph, item.x0 + step * (i + 0.5f) - width * 0.5f,
                                  item.y0 + (item.y1 - item.y0 - height) * 0.5f, height * 0.5f, height, 0, colour,
                                  colour, CursorNone, item.CodePage);
                }
            }
        }
        break;
    }
    case ItemCharacterCell: {
        const float height = item.y1 - item.y0;
        const float top = item.y0 + 0.1304348f * height;
        const float cellBox = 0.86956525f * height;
        if ((item.Arg2.i & 0x30) != 0 && item.Arg2.i != 128) {
            std::snprintf(buffer, sizeof(buffer), "%X", static_cast<int>(item.Arg.i));
            ItemText(item, buffer, 0, box, colour);
        } else if (item.Arg2.i == 128) {
            const char pair[3] = {static_cast<char>(item.Text.i), static_cast<char>(item.Arg.i), 0};
            const float width = MeasureCodedText(pair, height * 0.5f, item.CodePage);
            DrawCodedText(pair, (item.x0 + item.x1 - width) * 0.5f, top, height * 0.5f, cellBox, 0, colour, colour,
                          CursorNone, item.CodePage);
        } else {
            const int glyph = static_cast<int>(item.Text.i);
            if (glyph >= 0 && glyph < FontGlyphCount) {
                const float x = (item.x0 + item.x1) * 0.5f - height * 0.25f;
                QueueGlyphQuad(glyph, x, top, height * 0.5f, cellBox, 0, colour, colour);
                const int accent = static_cast<int>(item.Arg.i);
                if (accent >= 1 && accent < FontGlyphCount && accent <= 543) {
                    QueueGlyphQuad(accent, x, item.Arg2.i != 0 ? item.y0 : top, height * 0.5f, cellBox, 0, colour,
                                   colour);
                }
            }
        }
        break;
    }
    default:
        break;
    }
}

uint32_t MessageTextAlpha()
{
    return InterfaceLayerMode == 1 ? 0xa0000000u : 0xff000000u;
}

uint32_t LineColour(const MessageLine &line)
{
    const Colour *colour = line.Colour != nullptr ? line.Colour : &MessageColours[ColourWhite];
    return MessageTextAlpha() | static_cast<uint32_t>(colour->red) << 16 |
           static_cast<uint32_t>(colour->green) << 8 | colour->blue;
}

int LineShown(const MessageLine &line)
{
    return line.Text[0] != 0 && !(line.Flags & MessageFlagHidden);
}

float DrawLines(const MessageLine *lines, int count, float x, float y)
{
    for (int i = 0; i < count; ++i) {
        const MessageLine &line = lines[i];
        if (!LineShown(line)) {
            continue;
        }
        const uint32_t colour = LineColour(line);
        DrawCodedText(line.Text, x, y, 0.5f * MessageSize, MessageSize, 0, colour, colour, CursorNone, line.CodePage);
        y += MessageSize;
    }
    return y;
}

float DrawBacks(const MessageLine *lines, int count, float y, uint32_t colour)
{
    for (int i = 0; i < count; ++i) {
        const MessageLine &line = lines[i];
        if (!LineShown(line)) {
            continue;
        }
        const float width = MeasureCodedText(line.Text, 0.5f * MessageSize, line.CodePage);
        DrawShadeRect(-1.0f, y, width + 0.2f * MessageSize - 1.0f, y + MessageSize, colour);
        y += MessageSize;
    }
    return y;
}

}  // namespace

uint32_t FaceColour(int pressed, int r, int g, int b, uint32_t alpha)
{
    if (pressed) {
        r = r > PressedDarkening ? r - PressedDarkening : 0;
        g = g > PressedDarkening ? g - PressedDarkening : 0;
        b = b > PressedDarkening ? b - PressedDarkening : 0;
    }
    return (alpha & 0xff000000u) | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b);
}

void FlushInterfaceBatch()
{
    if (InterfaceBatchMode != BatchNone) {
        FlushScreenBatch();
        InterfaceBatchMode = BatchNone;
    }
}

void DrawButtonFace(const Colour *colour, int pressed, float x0, float y0, float x1, float y1, int style, int big)
{
    const float width = x1 - x0;
    const float height = y1 - y0;
    if (!(width > 0.0f) || !(height > 0.0f)) {
        return;
    }
    const int small = width < SmallFaceLimit || height < SmallFaceLimit;
    const float cornerY = small ? SmallCorner : LargeCorner;
    const float cornerX = cornerY * ScreenAspect;
    float left = cornerX;
    float right = cornerX;
    float top = cornerY;
    float bottom = cornerY;
    // An edge on the screen's border has no corner there and reaches one
    // pixel past it, so no gap shows.
    if (x0 == -1.0f) {
        x0 -= PixelWidth;
        left = 0.0f;
    }
    if (x1 == 1.0f) {
        x1 += PixelWidth;
        right = 0.0f;
    }
    if (y0 == -1.0f) {
        y0 -= PixelHeight;
        top = 0.0f;
    }
    if (y1 == 1.0f) {
        y1 += PixelHeight;
        bottom = 0.0f;
    }
    const uint32_t alpha = big ? BigAlpha : (style <= 1 ? ButtonAlpha : 0xff000000u);
    const uint32_t packed = PackFace(colour, pressed, alpha);
    SetBatchMode(small ? BatchSmallButton : BatchLargeButton);
    if (height < 2.0f * cornerY + 0.001f) {
        AddRect(x0, y0, x1, y1, TextureMiddleLow, TextureMiddleLow, TextureMiddleHigh, TextureMiddleHigh, packed);
    } else {
        const float ys[4] = {y0, y0 + top, y1 - bottom, y1};
        const float vs[4] = {0.0f, TextureMiddleLow, TextureMiddleHigh, 1.0f};
        if (width < 2.0f * cornerX + 0.001f) {
            const float xs[2] = {x0, x1};
            const float us[2] = {TextureMiddleLow, TextureMiddleHigh};
            AddPatches(xs, us, 1, ys, vs, 3, packed);
        } else {
            const float xs[4] = {x0, x0 + left, x1 - right, x1};
            const float us[4] = {0.0f, TextureMiddleLow, TextureMiddleHigh, 1.0f};
            AddPatches(xs, us, 3, ys, vs, 3, packed);
        }
    }
    FlushWhenFull();
}

void DrawButtonFaceBlended(const Colour *colour, int pressed, float x0, float y0, float x1, float y1, int style,
                           int big)
{
    SetRenderStateCached(RsAlphaBlendEnable, 1);
    DrawButtonFace(colour, pressed, x0, y0, x1, y1, style, big);
    FlushInterfaceBatch();
    SetRenderStateCached(RsAlphaBlendEnable, 0);
}

void DrawRowFace(const Colour *colour, int pressed, float x0, float y0, float x1, float y1, int big)
{
    if (!(x1 > x0) || !(y1 > y0)) {
        return;
    }
    const uint32_t alpha = big ? BigAlpha : ButtonAlpha;
    const uint32_t packed = PackFace(colour, pressed, alpha);
    // The fade from nothing at x0 - 0.1 to the face at x0 + 0.05.
    SetBatchMode(BatchUntextured);
    const uint32_t clear = packed & 0x00ffffffu;
    const uint16_t a = AddScreenVertex(x0 - 0.1f, y0, 0.5f, 0.5f, clear);
    const uint16_t b = AddScreenVertex(x0 + 0.05f, y0, 0.5f, 0.5f, packed);
    const uint16_t c = AddScreenVertex(x0 + 0.05f, y1, 0.5f, 0.5f, packed);
    const uint16_t d = AddScreenVertex(x0 - 0.1f, y1, 0.5f, 0.5f, clear);
    AddScreenQuad(a, b, c, d);
    // The panel with rounded right corners.
    SetBatchMode(BatchLargeButton);
    const float cornerY = LargeCorner;
    const float cornerX = cornerY * ScreenAspect;
    const float left = x0 + 0.05f;
    if (x1 - left > cornerX && y1 - y0 > 2.0f * cornerY) {
        const float xs[3] = {left, x1 - cornerX, x1};
        const float us[3] = {TextureMiddleLow, TextureMiddleHigh, 1.0f};
        const float ys[4] = {y0, y0 + cornerY, y1 - cornerY, y1};
        const float vs[4] = {0.0f, TextureMiddleLow, TextureMiddleHigh, 1.0f};
        AddPatches(xs, us, 2, ys, vs, 3, packed);
    }
    FlushWhenFull();
}

void DrawTitleBar(const InterfaceItem &item)
{
    const float height = item.y1 - item.y0;
    const char *text = static_cast<const char *>(item.Text.p);
    const float box = 0.6f * height;
    const float measured = text != nullptr ? MeasureCodedText(text, 0.6f * (item.y1 + 1.0f) * 0.5f, item.CodePage)
                                           : 0.0f;
    const float right = -1.0f + 0.005f + measured + 0.01f;
    // The bar is a button face (the small button texture's flat middle), so
    // that the title, drawn in the item's colour ("Title Grey"), shows on it.
    const uint32_t colour = PackFace(&InterfaceColours.buttonCol, 0, ButtonAlpha);
    SetBatchMode(BatchSmallButton);
    // A bar from the left edge ending in a diagonal.
    const float u = (TextureMiddleLow + TextureMiddleHigh) * 0.5f;
    const uint16_t a = AddScreenVertex(-1.0f - PixelWidth, item.y0, u, u, colour);
    const uint16_t b = AddScreenVertex(right + height, item.y0, u, u, colour);
    const uint16_t c = AddScreenVertex(right, item.y1, u, u, colour);
    const uint16_t d = AddScreenVertex(-1.0f - PixelWidth, item.y1, u, u, colour);
    AddScreenQuad(a, b, c, d);
    FlushWhenFull();
    if (text != nullptr) {
        const float saved = ItalicShift;
        ItalicShift = 0.125f * box;
        const uint32_t textColour = PackText(item.Colour, 0);
        DrawCodedText(text, -1.0f + 0.005f, item.y0 + (height - box) * 0.5f, box * 0.5f, box, ClipItalic, textColour,
                      textColour, CursorNone, item.CodePage);
        ItalicShift = saved;
    }
}

void DrawShadeRect(float x0, float y0, float x1, float y1, uint32_t colour)
{
    x0 = x0 == -1.0f ? x0 - PixelWidth : (x0 == 1.0f ? x0 + PixelWidth : x0);
    x1 = x1 == -1.0f ? x1 - PixelWidth : (x1 == 1.0f ? x1 + PixelWidth : x1);
    y0 = y0 == -1.0f ? y0 - PixelHeight : (y0 == 1.0f ? y0 + PixelHeight : y0);
    y1 = y1 == -1.0f ? y1 - PixelHeight : (y1 == 1.0f ? y1 + PixelHeight : y1);
    SetBatchMode(BatchUntextured);
    AddRect(x0, y0, x1, y1, 0.5f, 0.5f, 0.5f, 0.5f, colour);
    FlushWhenFull();
}

void DrawItemFaces(int flag)
{
    for (int i = 0; i < InterfaceItemCount; ++i) {
        DrawFaceOf(InterfaceItems[i], flag);
    }
    DrawSecondFaces();
    FlushInterfaceBatch();
}

void DrawItemTexts(int flag)
{
    for (int i = 0; i < InterfaceItemCount; ++i) {
        const InterfaceItem &item = InterfaceItems[i];
        if (item.Kind == ItemTitleBar) {
            continue;  // drawn with its face
        }
        DrawTextOf(item, flag);
    }
}

void DrawMessageTexts()
{
    const float x = 0.1f * MessageSize - 1.0f;
    float y = MessageTop;
    if (ShowMessageHistory) {
        y = DrawLines(MessageHistory, MessageLineLimit, x, y);
    }
    DrawLines(MessageLines, MessageLineCount, x, y);
}

void DrawMessageBacks()
{
    const uint32_t colour = InterfaceLayerMode == 1 ? 0x40000000u : 0x60000000u;
    float y = MessageTop;
    if (ShowMessageHistory) {
        y = DrawBacks(MessageHistory, MessageLineLimit, y, colour);
    }
    DrawBacks(MessageLines, MessageLineCount, y, colour);
    FlushInterfaceBatch();
}

void DrawMessageLinesToDC(ConsoleImage &image, int y, int bottom)
{
    for (int slot = 12; slot < MessageLineLimit; ++slot) {
        const MessageLine &line = MessageLines[slot];
        if (line.Text[0] == 0) {
            continue;
        }
        if (y + 11 > bottom) {
            break;
        }
        const Colour *colour = line.Colour != nullptr ? line.Colour : &MessageColours[ColourWhite];
        DrawTextToDC(image, line.Text, 0, y, colour->red, colour->green, colour->blue, line.CodePage);
        y += 12;
    }
}

void DrawInterface()
{
    ExpireMessageLines();
    if (ExitState != 0 || RenderDevice.Device == nullptr) {
        return;
    }
    const uint32_t top = TopDisplayMode();
    const int flag = top != 0 && top != 1 ? 1 : 0;
    SetRenderStateCached(RsAlphaBlendEnable, 1);
    if (InterfaceLayerMode != 0) {
        DrawMessageTexts();
        MarkTextLayer();
        DrawItemTexts(flag);
        DrawMessageBacks();
        DrawTextLayer();
        DrawItemFaces(flag);
        DrawTextLayerFinal();
    } else {
        DrawItemTexts(flag);
        MarkTextLayer();
        DrawMessageTexts();
        DrawItemFaces(flag);
        DrawTextLayer();
        DrawMessageBacks();
        DrawTextLayerFinal();
    }
    SetRenderStateCached(RsAlphaBlendEnable, 0);
}
