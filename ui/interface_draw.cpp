#include "ui/interface_draw.h"

#include "ui/message_lines.h"

float ScreenAspect = 1.0f;
float WidthOverHeight = 1.0f;
float PixelWidth = 0.0f;
float PixelHeight = 0.0f;
float TextWidthScale = 1.0f;

// Nothing is drawn yet; the message lines still expire on time.
void DrawInterface()
{
    ExpireMessageLines();
}
