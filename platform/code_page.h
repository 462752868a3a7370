#pragma once

// Text conversion between UTF-8 (what the desktop speaks) and the Windows
// code pages the program keeps its texts in (1252 Western, 1250 Central
// European, 1251 Cyrillic, 932 Japanese ...). Text goes one character at a
// time: a character with no bytes in the target, or a broken sequence, is
// dropped and the rest is kept. The output holds at most size - 1 bytes and a
// terminating zero and never ends in part of a character.

// True when the code page can be converted on this system.
bool PlatformCodePageSupported(int codePage);

// Returns the number of bytes written, or -1 (out empty) when the code page
// cannot be converted or size is below 1.
int PlatformUtf8ToCodePage(int codePage, const char *utf8, char *out, int size);
int PlatformCodePageToUtf8(int codePage, const char *text, char *out, int size);

// True when the text is well-formed UTF-8 (plain ASCII included).
bool PlatformIsUtf8(const char *text);
