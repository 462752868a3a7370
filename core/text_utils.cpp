#include "core/text_utils.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/data_stream.h"
#include "core/settings.h"
#include "core/shell_globals.h"

int LanguageCodePage = 0;

namespace {

constexpr char CodePageLetters[] = "LETBJCGHSK";
constexpr int CodePageCount = 10;

// The characters file names may not hold and their escape letters, matched
// by position.
constexpr char FileNameChars[] = "*:\\#<?>/\"|";
constexpr char FileNameEscapes[] = "acdhlqrstv";
constexpr int FileNameCharCount = 10;

constexpr int MarkupNameChars = 24;
constexpr int MarkupBufferSize = 32;

char CodePageLetter(int codePage)
{
    if (codePage < 0 || codePage >= CodePageCount)
        return 0;
    return CodePageLetters[codePage];
}

// Characters that need a code page other than the plain ASCII range: every
// byte from 128 on, and the backslash, which the Asian code pages show as the
// yen or won sign.
bool IsCodePageChar(unsigned char ch)
{
    return ch >= 128 || ch == '\\';
}

// The colour stripping shared by the memory and the stream forms. put(o, ch)
// stores byte o of the field; *written receives the bytes put (the caller
// zero-fills the rest up to n).
template <typename Put>
int StripInto(const char *text, int n, int cursor, Put put, int *written)
{
    if (!text)
        text = "";
    int i = 0;
    int o = 0;
    int result = 0;
    for (;;) {
        if (i == cursor)
            result = o;
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch == 0 || o >= n)
            break;
        if (ch == '^') {
            const char next = text[i + 1];
            if ((next >= '0' && next <= '7') || next == '9') {
                i += 2;
                continue;
            }
            if (next == '8' || next == ':' || next == '^') {
                if (o + 2 > n)
                    break;   // the pair does not fit: the rest stays zero
                put(o, '^');
                put(o + 1, next == '^' ? '^' : 'L');
                o += 2;
                i += 2;
                continue;
            }
            // Any other code (code pages, file-name escapes) is copied as it
            // stands; its second character follows as a plain one.
        }
        put(o, static_cast<char>(ch));
        ++o;
        ++i;
    }
    // A cursor beyond what was taken (past the text end or past the cut)
    // lies at the end of the written part.
    if (cursor > i)
        result = o;
    *written = o;
    return result;
}

char *NextMarkupBuffer()
{
    static char buffers[2][MarkupBufferSize];
    static int turn = 0;
    char *out = buffers[turn];
    turn ^= 1;
    return out;
}

char *MarkupNameBuffer(const char *name)
{
    char *out = NextMarkupBuffer();
    if (!name)
        name = "";
    const int length = static_cast<int>(strnlen(name, MarkupNameChars));
    int o = 0;
    bool needsLatin = false;
    for (int i = 0; i < length;) {
        const unsigned char ch = static_cast<unsigned char>(name[i]);
        if (ch == '^') {
            // A lone "^" at the end would join whatever text follows the
            // name, so it is dropped.
            if (i + 1 >= length)
                break;
            const unsigned char next = static_cast<unsigned char>(name[i + 1]);
            out[o++] = '^';
            out[o++] = next == '8' ? ':' : static_cast<char>(next);
            if (IsCodePageChar(next))
                needsLatin = true;
            i += 2;
            continue;
        }
        if (IsCodePageChar(ch))
            needsLatin = true;
        out[o++] = static_cast<char>(ch);
        ++i;
    }
    out[o] = 0;
    // Names are Latin 1; next to text in another code page they switch back.
    if (needsLatin && LanguageCodePage != 0) {
        memmove(out + 2, out, MarkupNameChars + 1);
        out[0] = '^';
        out[1] = 'L';
    }
    return out;
}

}  // namespace

int StripColourCodes(char *out, const char *text, int n, int cursor)
{
    if (!out || n <= 0)
        return 0;
    int written = 0;
    const int result = StripInto(text, n, cursor, [out](int o, char ch) { out[o] = ch; }, &written);
    memset(out + written, 0, static_cast<size_t>(n - written));
    return result;
}

void WriteTextNoColours(DataStream *stream, const char *text, int n)
{
    if (!stream || n <= 0)
        return;
    int written = 0;
    StripInto(text, n, -1, [stream](int, char ch) { stream->WriteU8(static_cast<unsigned char>(ch)); }, &written);
    for (int o = written; o < n; ++o)
        stream->WriteU8(0);
}

int NeedsCodePage(const char *text, int codePage)
{
    if (codePage == 0 || !text)
        return 0;
    for (const char *p = text; *p; ++p) {
        if (IsCodePageChar(static_cast<unsigned char>(*p)))
            return 1;
    }
    return 0;
}

void PrefixCodePage(char *text, int size, int codePage)
{
    const char letter = CodePageLetter(codePage);
    if (!text || size < 3 || !letter)
        return;
    memmove(text + 2, text, static_cast<size_t>(size - 3));
    text[size - 1] = 0;
    text[0] = '^';
    text[1] = letter;
}

void AddCodePagePrefix(char *text, int size, int codePage)
{
    if (NeedsCodePage(text, codePage))
        PrefixCodePage(text, size, codePage);
}

const char *MarkupName(const char *name)
{
    return MarkupNameBuffer(name);
}

const char *MarkupNameReset(const char *name)
{
    // At most "^L" + 24 characters + "^8" + zero: 29 of the 32 bytes.
    char *out = MarkupNameBuffer(name);
    strcat(out, "^8");
    return out;
}

char FileCharToEscape(int character)
{
    for (int k = 0; k < FileNameCharCount; ++k) {
        if (FileNameChars[k] == character)
            return FileNameEscapes[k];
    }
    return 0;
}

char EscapeToFileChar(int letter)
{
    for (int k = 0; k < FileNameCharCount; ++k) {
        if (FileNameEscapes[k] == letter)
            return FileNameChars[k];
    }
    return 0;
}

void StripFileNameChars(char *text)
{
    if (!text)
        return;
    char *w = text;
    for (const char *r = text; *r; ++r) {
        if (!FileCharToEscape(static_cast<unsigned char>(*r)))
            *w++ = *r;
    }
    *w = 0;
}

void DecodeNameEscapes(char *text)
{
    if (!text)
        return;
    char *w = text;
    const char *r = text;
    while (*r) {
        if (r[0] == '^' && r[1]) {
            const char ch = EscapeToFileChar(static_cast<unsigned char>(r[1]));
            if (ch) {
                *w++ = ch;
            } else {
                *w++ = r[0];
                *w++ = r[1];
            }
            r += 2;
        } else {
            *w++ = *r++;
        }
    }
    *w = 0;
}

void CopyString(char *dest, const char *source, int n)
{
    if (!dest || n <= 0)
        return;
    if (!source)
        source = "";
    int i = 0;
    for (; i < n - 1 && source[i]; ++i)
        dest[i] = source[i];
    memset(dest + i, 0, static_cast<size_t>(n - i));
}

void WriteTextField(DataStream *stream, const char *text, int n)
{
    if (!stream || n <= 0)
        return;
    stream->WriteString(text ? text : "", n);
}

int CopyWithoutQuotes(char *dest, const char *source, int maxSource)
{
    if (!dest)
        return 0;
    int o = 0;
    if (source) {
        for (int i = 0; i < maxSource && source[i]; ++i) {
            if (source[i] != '"')
                dest[o++] = source[i];
        }
    }
    dest[o] = 0;
    return o;
}

const char *PluralSuffix(int count)
{
    return count == 1 ? "" : "s";
}

int IsHexDigit(int character)
{
    return (character >= '0' && character <= '9') || (character >= 'A' && character <= 'F') ||
           (character >= 'a' && character <= 'f');
}

static int LowerAscii(unsigned char ch)
{
    return ch >= 'A' && ch <= 'Z' ? ch + ('a' - 'A') : ch;
}

int EqualsNoCase(const char *a, const char *b)
{
    if (!a || !b)
        return a == b;
    for (;; ++a, ++b) {
        if (LowerAscii(static_cast<unsigned char>(*a)) != LowerAscii(static_cast<unsigned char>(*b)))
            return 0;
        if (!*a)
            return 1;
    }
}

int StartsWithNoCase(const char *text, const char *prefix)
{
    if (!prefix)
        return 1;
    if (!text)
        text = "";
    // ASCII folding only: the download thread calls this too, and it must not
    // depend on the locale.
    for (int i = 0; prefix[i]; ++i) {
        if (LowerAscii(static_cast<unsigned char>(text[i])) != LowerAscii(static_cast<unsigned char>(prefix[i])))
            return 0;   // also stops at the end of the text
    }
    return 1;
}

int ParseInt(const char *text)
{
    if (!text)
        return 0;
    // strtol reads what "%d" reads (blanks, sign, digits) but defines the
    // result of an out-of-range number, which is clamped here.
    char *end = nullptr;
    const long value = strtol(text, &end, 10);
    if (end == text)
        return 0;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

float ParseFloat(const char *text)
{
    if (!text)
        return 0.0f;
    char copy[16];
    CopyString(copy, text, sizeof copy);
    for (char *p = copy; *p; ++p) {
        if (*p == ',')
            *p = '.';
    }
    // The program never calls setlocale, so the "C" locale holds and "." is
    // the decimal point whatever the user's regional settings are.
    float value = 0.0f;
    if (sscanf(copy, "%f", &value) != 1)
        return 0.0f;
    return value;
}

int PlayerTagDiffers(const char *recordA, const char *recordB)
{
    constexpr int NameLength = 24;
    constexpr int TagLength = 8;
    if (!recordA || !recordB)
        return recordA != recordB;
    return strncmp(recordA + NameLength, recordB + NameLength, TagLength) != 0;
}

void FormatRaceTime(char *out, int size, const char *prefix, int spaced, int hundredths, int font)
{
    if (!out || size <= 0)
        return;
    const int t = hundredths < 0 ? 0 : hundredths;
    const int hours = t / 360000;
    const int rest = t % 360000;
    const int minutes = rest / 6000;
    const int seconds = rest / 100 % 60;
    const int cents = rest % 100;
    const char *separator = spaced ? " " : "";
    if (!prefix)
        prefix = "";
    if (hours == 0)
        snprintf(out, static_cast<size_t>(size), "%s%s%d:%02d.%02d", prefix, separator, minutes, seconds, cents);
    else
        snprintf(out, static_cast<size_t>(size), "%s%s%d:%02d:%02d.%02d", prefix, separator, hours, minutes,
                 seconds, cents);
    if (font != 0) {
        const int shift = (font + 5) * 16;
        const size_t length = strlen(out);
        for (size_t k = 0; k < length; ++k)
            out[k] = static_cast<char>(static_cast<unsigned char>(out[k]) + shift);
    }
}

void FormatClockTexts(char out[2][8])
{
    if (EditorOptions & 0x80) {
        int hour = LocalHour % 12;
        if (hour == 0)
            hour = 12;
        snprintf(out[0], 8, "%d:%.2d", hour, LocalMinute);
    } else {
        snprintf(out[0], 8, "%.2d:%.2d", LocalHour, LocalMinute);
    }
    snprintf(out[1], 8, "%.2d:%.2d", UtcHour, UtcMinute);
    for (int k = 0; k < 2; ++k) {
        for (char *p = out[k]; *p; ++p)
            *p = static_cast<char>(static_cast<unsigned char>(*p) + 112);
    }
}
