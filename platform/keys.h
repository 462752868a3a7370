#pragma once

// Key numbers. The program speaks Windows virtual-key codes everywhere: the
// key-state table is indexed by them and the controls file stores them, so
// they are the standard values whatever keyboard layer delivers the keys.
// Keys are mapped by their position on a US keyboard.

inline constexpr int VkBack = 8;
inline constexpr int VkTab = 9;
inline constexpr int VkClear = 12;
inline constexpr int VkReturn = 13;
inline constexpr int VkShift = 16;
inline constexpr int VkControl = 17;
inline constexpr int VkMenu = 18;  // Alt
inline constexpr int VkPause = 19;
inline constexpr int VkCapital = 20;
inline constexpr int VkEscape = 27;
inline constexpr int VkSpace = 32;
inline constexpr int VkPrior = 33;  // Page Up
inline constexpr int VkNext = 34;   // Page Down
inline constexpr int VkEnd = 35;
inline constexpr int VkHome = 36;
inline constexpr int VkLeft = 37;
inline constexpr int VkUp = 38;
inline constexpr int VkRight = 39;
inline constexpr int VkDown = 40;
inline constexpr int VkSnapshot = 44;
inline constexpr int VkInsert = 45;
inline constexpr int VkDelete = 46;
// '0'..'9' are 48..57 and 'A'..'Z' are 65..90: the keys' own characters.
inline constexpr int VkLWin = 91;
inline constexpr int VkRWin = 92;
inline constexpr int VkApps = 93;
inline constexpr int VkNumpad0 = 96;  // ..VkNumpad0 + 9 for numpad 9
inline constexpr int VkMultiply = 106;
inline constexpr int VkAdd = 107;
inline constexpr int VkSeparator = 108;
inline constexpr int VkSubtract = 109;
inline constexpr int VkDecimal = 110;
inline constexpr int VkDivide = 111;
inline constexpr int VkF1 = 112;  // ..VkF1 + 23 for F24
inline constexpr int VkF2 = 113;
inline constexpr int VkF3 = 114;
inline constexpr int VkF4 = 115;
inline constexpr int VkF5 = 116;
inline constexpr int VkF6 = 117;
inline constexpr int VkF7 = 118;
inline constexpr int VkF8 = 119;
inline constexpr int VkF9 = 120;
inline constexpr int VkF10 = 121;
inline constexpr int VkF11 = 122;
inline constexpr int VkF12 = 123;
inline constexpr int VkNumLock = 144;
inline constexpr int VkScroll = 145;
inline constexpr int VkOem1 = 186;       // ;:
inline constexpr int VkOemPlus = 187;    // =+
inline constexpr int VkOemComma = 188;   // ,<
inline constexpr int VkOemMinus = 189;   // -_
inline constexpr int VkOemPeriod = 190;  // .>
inline constexpr int VkOem2 = 191;       // /?
inline constexpr int VkOem3 = 192;       // `~
inline constexpr int VkOem4 = 219;       // [{
inline constexpr int VkOem5 = 220;       // \|
inline constexpr int VkOem6 = 221;       // ]}
inline constexpr int VkOem7 = 222;       // '"
inline constexpr int VkOem102 = 226;     // the extra key beside left Shift

// The virtual-key code of a keyboard scan code (USB usage numbering, as the
// window layer reports keys), 0 for a key the program has no code for.
// Left and right Shift, Ctrl and Alt give the generic VkShift, VkControl and
// VkMenu. With Num Lock off the number pad's digit and point keys are the
// editing and arrow keys printed on them (5 gives VkClear).
int VirtualKeyFromScancode(int scancode, bool numLock = true);
