#pragma once

#include <cstdint>
#include <cstdio>

struct MenuPage;

// What a text block needs of the text framework, registered by it at start-up.
// Any member left null falls back to a plain stand-in (see each member).
struct TextBlockServices {
    // Width of a marked-up text in screen units at a size in a code page.
    // Stand-in: character count x 0.5 x size.
    float (*measureCodedText)(const char *text, float size, int codePage);
    // The framework's width factor that measureCodedText reads; held at 1.0
    // while a section is read. Stand-in: none.
    float *widthFactor;
    // Non-zero for a double-byte code page. Stand-in: 4, 7, 8 and 9 (Japanese,
    // traditional Chinese, simplified Chinese, Korean).
    int (*isDoubleByteCodePage)(int codePage);
    // Non-zero when byte is the first byte of a double-byte pair in the code
    // page. Stand-in: 0x81..0x9F and 0xE0..0xFC in Japanese, 0x81..0xFE in
    // the other double-byte code pages.
    int (*isLeadByte)(int codePage, int byte);
    // Adds one text item of the current frame; latin 0 draws it in the
    // language's code page, 1 in Latin 1. Stand-in: nothing.
    void (*addTextItem)(float left, float top, float right, float bottom, const char *text, int latin,
                        MenuPage *page);
    // Shows a warning message line. Stand-in: nothing.
    void (*printWarning)(const char *text);
};

// Replaces the registered services (copied).
void SetTextBlockServices(const TextBlockServices &services);

// A text of up to 20 lines: help, welcome, lesson and replay information.
struct TextBlock {
    static constexpr int MaxLines = 20;
    static constexpr int LineSize = 128;   // 127 characters and a zero

    uint32_t kind;   // 0: in the language's code page; other: Latin 1
    char lines[MaxLines][LineSize];

    // Zeroes the block and sets its kind.
    void Init(uint32_t blockKind);

    // Reads one section of a text file from its current position. A first
    // line that begins with "@" is skipped, as are blank lines before the
    // text; the title, when given, becomes line 0. A line beginning with "\"
    // (which is consumed) or the end of the file ends the section, as does
    // the twentieth line. Lines wider than width at 0.85 x size, or longer
    // than 127 characters, wrap at a blank, ")" or "-" near their end; what
    // would wrap beyond the twentieth line is dropped.
    void ReadSection(FILE *file, const char *title, float size, float width);

    // Empties every line from index n on; returns the non-empty lines below n.
    int KeepLines(int n);

    // Index of the last non-empty line plus 1 (0 for an empty block).
    int CountLines() const;

    // One text item per non-empty line, each row spacing high, starting at
    // top and moving down by spacing per row, empty or not. Returns the rows.
    int AddItems(float left, float top, float right, float spacing, MenuPage *page) const;
};
