#pragma once

#include <cstdint>

// The characters of a Windows code page, read from the C library's character
// set converters (iconv) by the code page's converter name ("CP1252",
// "CP932", ...).
struct DecodedCodePage {
    uint32_t single[256];        // Unicode character of each byte alone; 0 none
    bool lead[256];              // the byte starts a double-byte character
    uint32_t pair[256][192];     // lead bytes: the character of (lead, trail 64..255); 0 none
};

// Returns 0, or -1 when the converter does not exist.
int DecodeCodePage(const char *converterName, DecodedCodePage *out);
