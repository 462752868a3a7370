#pragma once

#include <cstdint>

#include "core/settings.h"

// cfg.txt, the settings file beside the program: one line per key, the key
// (ending in its blank) followed by the value. ConfigKeyTable is the one
// description of every key: its type, its range, mask or rule, its default,
// the format it is written in and the global it sets. The defaults, the
// reader and the writer all work from it, so they cannot disagree.

constexpr int ConfigKeyCount = 199;

enum ConfigValueKind : uint8_t {
    ConfigVersion,   // the file's version text (8 bytes); the program's own is written
    ConfigInt,       // int clamped to min..max
    ConfigPlainInt,  // int, not clamped
    ConfigByte,      // uint8_t, clamped to min..max through an int
    ConfigMask,      // uint32_t, scanned signed and ANDed with the mask
    ConfigFloat,     // float clamped to floatMin..floatMax, written with `decimals`
    ConfigColour,    // three ints: red, green, blue (low 8 bits of each)
    ConfigFourInts,  // four ints on one line
    ConfigText,      // a text of `size` bytes up to the line end
    ConfigName,      // as ConfigText, without the characters file names may not hold
};

enum ConfigRule : uint8_t {
    RuleNone,
    RuleWelcomeGated,  // taken only when not empty and "Welcome Z " is 0 at that moment
    RuleMpFilter,      // the reader notes that the key was present
    RuleMpSpeedup,     // a choice made while running is stored and written
    RuleRunOnlyMode3,  // mode 3 lasts only while the program runs: written (and set) as 0
    RuleLanguage,      // an empty language (English) is written as "English"
    RuleWindow,        // the default follows the desktop size
};

struct ConfigKey {
    const char *key;          // ends in one blank
    ConfigValueKind kind;
    ConfigRule rule;
    uint8_t decimals;         // floats: digits after the point when written
    int size;                 // texts: the field's size in bytes
    void *variable;           // int, uint8_t, uint32_t, float, Colour or char[size]
    int32_t *parts[4];        // four ints: the four values in written order
    int32_t min;
    int32_t max;
    uint32_t mask;
    float floatMin;
    float floatMax;
    int32_t defaults[4];      // ints, bytes, masks, colours and four ints
    float floatDefault;
    const char *textDefault;
};

extern const ConfigKey ConfigKeyTable[ConfigKeyCount];

// Values derived after reading, for the renderer and the layout editor.
extern float MainLodReciprocal;  // 1 / "Main LOD "
extern float SecondLodFactor;    // 1.0
extern float EditorViewScale;    // 2 tan("Editor FOV " x pi / 360)

// The music player's file pattern: "Music Dir ", a backslash, "%s.ogg".
constexpr int MusicFilePatternSize = 88;
extern char MusicFilePattern[MusicFilePatternSize];

// The "MP Speedup Opt " chosen while the program runs, -1 when none; the
// writer stores it into the setting.
extern int MpSpeedupChoice;

// Row of the car table that an empty "Selected Car " becomes.
constexpr int DefaultCarIndex = 0;

// Every setting to its default, with the render limits of card_config.h.
void SetConfigDefaults();
// The four pit strategy bytes to their defaults.
void SetDefaultStrategy();
// The default "Window " rectangle: 80, 80, desktop width - 80 (at most
// 1104), desktop height - 80 (at most 848). A desktop too small for that,
// such as the 0 x 0 desktop of a start without a display, gets
// 80, 80, 1104, 848.
void DefaultWindowRect(int desktopWidth, int desktopHeight, ScreenRect *rect);

// Sets every setting to its default, reads cfg.txt when it exists, applies
// the upgrade rules of older files and the after-reading rules (window
// rectangle, default car, "MP Filter ", "Mip Filter ", derived values,
// "Helmet Skins ", language, music pattern). Reads the user's language id
// (core/language_table.h) for the language rules.
void ReadConfigFile();
// Writes cfg.txt, every key in table order; nothing happens when it cannot
// be written, and a failed write leaves the previous file.
void WriteConfigFile();

// The value of a key as it is written (without the key). Returns the length.
int FormatConfigValue(const ConfigKey &key, char *out, int size);
// The row of a key text, or null.
const ConfigKey *FindConfigKey(const char *key);
