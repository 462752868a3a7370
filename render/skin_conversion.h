#pragma once

#include <cstdint>

// Downloaded skins arrive as JPEG files in data\skins; the program converts
// each into a DXT1 DDS file of the same name in data\skins_dds, one skin a
// frame, when the DDS is missing or older than the JPEG.

constexpr int SkinListNameLength = 20;  // names in the folder lists, cut to 19 characters

// Lists both folders and finds the JPEGs that need converting; the first
// becomes current (its name printed when asked). Returns their number;
// with none the lists are freed.
int StartSkinConversion(int print);
// Converts the current skin and moves to the next that needs it: 1 (its
// name printed when asked), or 0 after the last one, the lists freed.
int ConvertNextSkin(int print);
void EndSkinConversion();
// While the folders are listed: 1 when the JPEG of the name needs no
// conversion (a DDS of the same name, compared without case, not older).
int HasCurrentDdsSkin(const char *jpgName);
// "convert : <name>" in the log; data\skins\<name>.jpg saved as
// data\skins_dds\<name>.dds in DXT1 with the full chain of levels. Returns 1
// on success; a failure prints the file's error and leaves no DDS file.
int ConvertSkinToDds(const char *name);

// The conversion's progress: the current skin's index (1-based among those
// needing conversion), their count, the number converted and the current
// skin's name ("" when none).
struct SkinConversionState {
    int index;
    int count;
    int converted;
    const char *name;
};
SkinConversionState GetSkinConversionState();
