#pragma once

#include <cstdint>

struct Colour;
struct ConsoleImage;
struct InterfaceItem;

// The 2D interface pass drawn over each frame, and the screen factors it
// draws with. The main loop sets the factors every pass from the back
// buffer's size and the 3D window's share of it; without a usable screen size
// they are 1, 1, 0, 0 and 1.

extern float ScreenAspect;     // height over width of the interface area: makes corners square
extern float WidthOverHeight;  // its inverse
extern float PixelWidth;       // one pixel in screen units, across
extern float PixelHeight;      // one pixel in screen units, down
extern float TextWidthScale;   // min(1, sqrt(1.333 / width over height)): narrows text on wide screens

// 0 the messages over the items; 1 the messages under them, translucent
// (in-game menu, options); 2 the messages under them (a dialog is open).
extern uint32_t InterfaceLayerMode;

// The texture of the faces waiting in the screen batch.
enum InterfaceBatchModes {
    BatchNone = -1,
    BatchLargeButton = 0,   // "BUTTALPHA"
    BatchSmallButton = 1,   // "SMLBALPHA", also the title bar's
    BatchUntextured = 2,    // shaded rectangles
    BatchIcons = 3,         // the language icons
};
extern int InterfaceBatchMode;
constexpr int InterfaceFlushVertices = 5120;
extern const char *const LargeButtonTextureName;
extern const char *const SmallButtonTextureName;
extern const char *const IconTextureName;

// Draws and empties the waiting faces; the mode becomes BatchNone.
void FlushInterfaceBatch();

// Face styles of DrawButtonFace: 0 and 1 translucent, 2 and 3 opaque.
void DrawButtonFace(const Colour *colour, int pressed, float x0, float y0, float x1, float y1, int style, int big);
// DrawButtonFace with alpha blending on around it, for a face drawn alone.
void DrawButtonFaceBlended(const Colour *colour, int pressed, float x0, float y0, float x1, float y1, int style,
                           int big);
void DrawRowFace(const Colour *colour, int pressed, float x0, float y0, float x1, float y1, int big);
void DrawTitleBar(const InterfaceItem &item);
// An untextured rectangle; an edge exactly on -1 or 1 moves one pixel out.
void DrawShadeRect(float x0, float y0, float x1, float y1, uint32_t colour);
// A packed face colour: each channel 24 darker when pressed (not below 0),
// the alpha given in the top byte.
uint32_t FaceColour(int pressed, int r, int g, int b, uint32_t alpha);

// flag: the display mode on top is neither 0 nor 1 (a plain-colour screen):
// panels get their face and panel texts the "Big Text" colour.
void DrawItemFaces(int flag);
void DrawItemTexts(int flag);

// Queues the message lines' texts: glyph size 0.5 x MessageSize in a box
// MessageSize high, one line under the other from MessageTop, x from
// 0.1 x MessageSize - 1; hidden lines are skipped; the history first while
// it is shown.
void DrawMessageTexts();
// A dark band behind each line DrawMessageTexts draws.
void DrawMessageBacks();
// The host console: message slots 12..19 with text, one under the other from
// y (11 pixels plus one a line) while a line ends above the bottom.
void DrawMessageLinesToDC(ConsoleImage &image, int y, int bottom);

// The whole pass: the items' faces and texts and the message lines, in the
// order InterfaceLayerMode gives (nothing while the program exits), after
// retiring the message lines that have had their time.
void DrawInterface();
