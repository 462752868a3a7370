#include "platform/keys.h"

#include <gtest/gtest.h>

#include <SDL.h>

namespace {

struct KeyCase {
    SDL_Scancode scancode;
    int vk;
};

// The codes the controls file stores: they must be the standard numbers.
constexpr KeyCase KeyCases[] = {
    {SDL_SCANCODE_BACKSPACE, 8},   {SDL_SCANCODE_TAB, 9},          {SDL_SCANCODE_RETURN, 13},
    {SDL_SCANCODE_KP_ENTER, 13},   {SDL_SCANCODE_LSHIFT, 16},      {SDL_SCANCODE_RSHIFT, 16},
    {SDL_SCANCODE_LCTRL, 17},      {SDL_SCANCODE_RCTRL, 17},       {SDL_SCANCODE_LALT, 18},
    {SDL_SCANCODE_RALT, 18},       {SDL_SCANCODE_PAUSE, 19},       {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_ESCAPE, 27},     {SDL_SCANCODE_SPACE, 32},       {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_PAGEDOWN, 34},   {SDL_SCANCODE_END, 35},         {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37},       {SDL_SCANCODE_UP, 38},          {SDL_SCANCODE_RIGHT, 39},
    {SDL_SCANCODE_DOWN, 40},       {SDL_SCANCODE_INSERT, 45},      {SDL_SCANCODE_DELETE, 46},
    {SDL_SCANCODE_0, 48},          {SDL_SCANCODE_1, 49},           {SDL_SCANCODE_9, 57},
    {SDL_SCANCODE_A, 65},          {SDL_SCANCODE_J, 74},           {SDL_SCANCODE_Z, 90},
    {SDL_SCANCODE_LGUI, 91},       {SDL_SCANCODE_KP_0, 96},        {SDL_SCANCODE_KP_1, 97},
    {SDL_SCANCODE_KP_9, 105},      {SDL_SCANCODE_KP_MULTIPLY, 106}, {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_KP_MINUS, 109},  {SDL_SCANCODE_KP_PERIOD, 110},  {SDL_SCANCODE_KP_DIVIDE, 111},
    {SDL_SCANCODE_F1, 112},        {SDL_SCANCODE_F5, 116},         {SDL_SCANCODE_F12, 123},
    {SDL_SCANCODE_F13, 124},       {SDL_SCANCODE_F24, 135},        {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145}, {SDL_SCANCODE_SEMICOLON, 186}, {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},     {SDL_SCANCODE_MINUS, 189},      {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},     {SDL_SCANCODE_GRAVE, 192},      {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220}, {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
    // Keys the program has no code for.
    {SDL_SCANCODE_UNKNOWN, 0},     {SDL_SCANCODE_POWER, 0},
};

TEST(VirtualKeyFromScancode, GivesTheStandardCodes)
{
    for (const KeyCase &key : KeyCases) {
        EXPECT_EQ(VirtualKeyFromScancode(key.scancode), key.vk) << SDL_GetScancodeName(key.scancode);
    }
}

TEST(VirtualKeyFromScancode, NumberPadWithNumLockOffGivesTheEditingKeys)
{
    constexpr KeyCase NumLockOff[] = {
        {SDL_SCANCODE_KP_0, 45},  {SDL_SCANCODE_KP_1, 35},      {SDL_SCANCODE_KP_2, 40},
        {SDL_SCANCODE_KP_3, 34},  {SDL_SCANCODE_KP_4, 37},      {SDL_SCANCODE_KP_5, 12},
        {SDL_SCANCODE_KP_6, 39},  {SDL_SCANCODE_KP_7, 36},      {SDL_SCANCODE_KP_8, 38},
        {SDL_SCANCODE_KP_9, 33},  {SDL_SCANCODE_KP_PERIOD, 46}, {SDL_SCANCODE_KP_ENTER, 13},
        {SDL_SCANCODE_KP_PLUS, 107}, {SDL_SCANCODE_6, 54},
    };
    for (const KeyCase &key : NumLockOff) {
        EXPECT_EQ(VirtualKeyFromScancode(key.scancode, false), key.vk) << SDL_GetScancodeName(key.scancode);
    }
}

TEST(VirtualKeyFromScancode, ScancodesOutsideTheTableGiveNoKey)
{
    EXPECT_EQ(VirtualKeyFromScancode(-1), 0);
    EXPECT_EQ(VirtualKeyFromScancode(SDL_NUM_SCANCODES), 0);
    EXPECT_EQ(VirtualKeyFromScancode(1 << 30), 0);
}

}  // namespace
