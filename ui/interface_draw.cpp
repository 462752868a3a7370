#include "ui/interface_draw.h"

#include "core/settings.h"
#include "platform/graphics_device.h"
#include "render/render_device.h"
#include "render/state_cache.h"
#include "ui/message_lines.h"
#include "ui/text_batch.h"
#include "ui/text_draw.h"

float ScreenAspect = 1.0f;
float WidthOverHeight = 1.0f;
float PixelWidth = 0.0f;
float PixelHeight = 0.0f;
float TextWidthScale = 1.0f;

namespace {

uint32_t LineColour(const MessageLine &line)
{
    const Colour *colour = line.Colour != nullptr ? line.Colour : &MessageColours[ColourWhite];
    return 0xff000000u | static_cast<uint32_t>(colour->red) << 16 | static_cast<uint32_t>(colour->green) << 8 |
           colour->blue;
}

float DrawLines(const MessageLine *lines, int count, float x, float y)
{
    for (int i = 0; i < count; ++i) {
        const MessageLine &line = lines[i];
        if (line.Text[0] == 0 || (line.Flags & MessageFlagHidden)) {
            continue;
        }
        const uint32_t colour = LineColour(line);
        DrawCodedText(line.Text, x, y, 0.5f * MessageSize, MessageSize, 0, colour, colour, CursorNone, line.CodePage);
        y += MessageSize;
    }
    return y;
}

}  // namespace

void DrawMessageTexts()
{
    const float x = 0.1f * MessageSize - 1.0f;
    float y = MessageTop;
    if (ShowMessageHistory) {
        y = DrawLines(MessageHistory, MessageLineLimit, x, y);
    }
    DrawLines(MessageLines, MessageLineCount, x, y);
}

// The message lines' texts over the frame; the items' faces and texts come
// with the menu pages.
void DrawInterface()
{
    ExpireMessageLines();
    if (RenderDevice.Device == nullptr) {
        return;
    }
    SetRenderStateCached(RsAlphaBlendEnable, 1);
    DrawMessageTexts();
    DrawTextLayer();
    DrawTextLayerFinal();
    SetRenderStateCached(RsAlphaBlendEnable, 0);
}
