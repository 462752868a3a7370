#pragma once

// The face names and weights of the fonts that draw the four double-byte code
// pages (Japanese, traditional Chinese, simplified Chinese, Korean), kept in
// cfg.txt as "FN_J " .. "FN_K " and "FW_J " .. "FW_K ". The text framework
// reads them; the settings file reads and writes them.

constexpr int FontFaceSlotCount = 4;
constexpr int FontFaceNameSize = 64;
constexpr int DefaultFontWeight = 600;

struct FontFaceSetting {
    char name[FontFaceNameSize];  // empty: the slot's default face
    int weight;                   // 100..900
};

// In slot order J, H, S, K.
extern FontFaceSetting FontFaceSettings[FontFaceSlotCount];
