#include "platform/keys.h"

#include <SDL_scancode.h>

#include <array>

namespace {

struct ScancodeKey {
    SDL_Scancode scancode;
    int vk;
};

// Keys whose code is not simply a run of letters, digits or function keys.
constexpr ScancodeKey OtherKeys[] = {
    {SDL_SCANCODE_RETURN, VkReturn},
    {SDL_SCANCODE_ESCAPE, VkEscape},
    {SDL_SCANCODE_BACKSPACE, VkBack},
    {SDL_SCANCODE_TAB, VkTab},
    {SDL_SCANCODE_SPACE, VkSpace},
    {SDL_SCANCODE_MINUS, VkOemMinus},
    {SDL_SCANCODE_EQUALS, VkOemPlus},
    {SDL_SCANCODE_LEFTBRACKET, VkOem4},
    {SDL_SCANCODE_RIGHTBRACKET, VkOem6},
    {SDL_SCANCODE_BACKSLASH, VkOem5},
    {SDL_SCANCODE_NONUSHASH, VkOem5},
    {SDL_SCANCODE_SEMICOLON, VkOem1},
    {SDL_SCANCODE_APOSTROPHE, VkOem7},
    {SDL_SCANCODE_GRAVE, VkOem3},
    {SDL_SCANCODE_COMMA, VkOemComma},
    {SDL_SCANCODE_PERIOD, VkOemPeriod},
    {SDL_SCANCODE_SLASH, VkOem2},
    {SDL_SCANCODE_CAPSLOCK, VkCapital},
    {SDL_SCANCODE_PRINTSCREEN, VkSnapshot},
    {SDL_SCANCODE_SCROLLLOCK, VkScroll},
    {SDL_SCANCODE_PAUSE, VkPause},
    {SDL_SCANCODE_INSERT, VkInsert},
    {SDL_SCANCODE_HOME, VkHome},
    {SDL_SCANCODE_PAGEUP, VkPrior},
    {SDL_SCANCODE_DELETE, VkDelete},
    {SDL_SCANCODE_END, VkEnd},
    {SDL_SCANCODE_PAGEDOWN, VkNext},
    {SDL_SCANCODE_RIGHT, VkRight},
    {SDL_SCANCODE_LEFT, VkLeft},
    {SDL_SCANCODE_DOWN, VkDown},
    {SDL_SCANCODE_UP, VkUp},
    {SDL_SCANCODE_NUMLOCKCLEAR, VkNumLock},
    {SDL_SCANCODE_KP_DIVIDE, VkDivide},
    {SDL_SCANCODE_KP_MULTIPLY, VkMultiply},
    {SDL_SCANCODE_KP_MINUS, VkSubtract},
    {SDL_SCANCODE_KP_PLUS, VkAdd},
    {SDL_SCANCODE_KP_ENTER, VkReturn},
    {SDL_SCANCODE_KP_0, VkNumpad0},
    {SDL_SCANCODE_KP_PERIOD, VkDecimal},
    {SDL_SCANCODE_KP_COMMA, VkSeparator},
    {SDL_SCANCODE_NONUSBACKSLASH, VkOem102},
    {SDL_SCANCODE_APPLICATION, VkApps},
    {SDL_SCANCODE_EXECUTE, 43},
    {SDL_SCANCODE_HELP, 47},
    {SDL_SCANCODE_SELECT, 41},
    {SDL_SCANCODE_MUTE, 173},
    {SDL_SCANCODE_VOLUMEDOWN, 174},
    {SDL_SCANCODE_VOLUMEUP, 175},
    {SDL_SCANCODE_AUDIONEXT, 176},
    {SDL_SCANCODE_AUDIOPREV, 177},
    {SDL_SCANCODE_AUDIOSTOP, 178},
    {SDL_SCANCODE_AUDIOPLAY, 179},
    {SDL_SCANCODE_INTERNATIONAL1, VkOem102},  // Japanese Ro
    {SDL_SCANCODE_INTERNATIONAL3, VkOem5},    // Japanese Yen
    {SDL_SCANCODE_INTERNATIONAL4, 28},        // Henkan (convert)
    {SDL_SCANCODE_INTERNATIONAL5, 29},        // Muhenkan (non-convert)
    {SDL_SCANCODE_LANG1, 21},                 // Hangul / Kana
    {SDL_SCANCODE_LANG2, 25},                 // Hanja
    {SDL_SCANCODE_LCTRL, VkControl},
    {SDL_SCANCODE_LSHIFT, VkShift},
    {SDL_SCANCODE_LALT, VkMenu},
    {SDL_SCANCODE_LGUI, VkLWin},
    {SDL_SCANCODE_RCTRL, VkControl},
    {SDL_SCANCODE_RSHIFT, VkShift},
    {SDL_SCANCODE_RALT, VkMenu},
    {SDL_SCANCODE_RGUI, VkRWin},
};

// The number pad with Num Lock off.
constexpr ScancodeKey NumberPadEditingKeys[] = {
    {SDL_SCANCODE_KP_0, VkInsert}, {SDL_SCANCODE_KP_1, VkEnd},  {SDL_SCANCODE_KP_2, VkDown},
    {SDL_SCANCODE_KP_3, VkNext},   {SDL_SCANCODE_KP_4, VkLeft}, {SDL_SCANCODE_KP_5, VkClear},
    {SDL_SCANCODE_KP_6, VkRight},  {SDL_SCANCODE_KP_7, VkHome}, {SDL_SCANCODE_KP_8, VkUp},
    {SDL_SCANCODE_KP_9, VkPrior},  {SDL_SCANCODE_KP_PERIOD, VkDelete},
};

constexpr std::array<unsigned char, SDL_NUM_SCANCODES> BuildKeyTable()
{
    std::array<unsigned char, SDL_NUM_SCANCODES> table{};
    for (int i = 0; i < 26; ++i) {
        table[SDL_SCANCODE_A + i] = static_cast<unsigned char>('A' + i);
    }
    // The number row runs 1..9 then 0.
    for (int i = 0; i < 9; ++i) {
        table[SDL_SCANCODE_1 + i] = static_cast<unsigned char>('1' + i);
        table[SDL_SCANCODE_KP_1 + i] = static_cast<unsigned char>(VkNumpad0 + 1 + i);
    }
    table[SDL_SCANCODE_0] = '0';
    for (int i = 0; i < 12; ++i) {
        table[SDL_SCANCODE_F1 + i] = static_cast<unsigned char>(VkF1 + i);
        table[SDL_SCANCODE_F13 + i] = static_cast<unsigned char>(VkF1 + 12 + i);
    }
    for (const ScancodeKey &key : OtherKeys) {
        table[key.scancode] = static_cast<unsigned char>(key.vk);
    }
    return table;
}

constexpr std::array<unsigned char, SDL_NUM_SCANCODES> KeyTable = BuildKeyTable();

}  // namespace

int VirtualKeyFromScancode(int scancode, bool numLock)
{
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) {
        return 0;
    }
    if (!numLock) {
        for (const ScancodeKey &key : NumberPadEditingKeys) {
            if (key.scancode == scancode) {
                return key.vk;
            }
        }
    }
    return KeyTable[scancode];
}
