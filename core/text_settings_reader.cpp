#include "core/text_settings_reader.h"

#include <charconv>
#include <cstring>
#include <limits>

#include "core/text_utils.h"

namespace {

bool IsScanSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

int LowerCase(int c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Gives back the character that ended a scan. Only one character can go
// back, as with fscanf; a sign or a partial word before it stays consumed.
void PutBack(FILE *file, int c)
{
    if (c != EOF) {
        std::ungetc(c, file);
    }
}

int SkipScanSpace(FILE *file)
{
    int c = std::getc(file);
    while (IsScanSpace(c)) {
        c = std::getc(file);
    }
    return c;
}

// "%d" into 64 bits, saturating, so that no digit string is undefined.
bool ScanInt64(FILE *file, int64_t *value)
{
    int c = SkipScanSpace(file);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::getc(file);
    }
    if (!IsDigit(c)) {
        PutBack(file, c);
        return false;
    }
    constexpr int64_t Limit = std::numeric_limits<int64_t>::max();
    int64_t magnitude = 0;
    while (IsDigit(c)) {
        const int digit = c - '0';
        magnitude = magnitude > (Limit - digit) / 10 ? Limit : magnitude * 10 + digit;
        c = std::getc(file);
    }
    PutBack(file, c);
    *value = negative ? -magnitude : magnitude;
    return true;
}

int SaturateToInt(int64_t value)
{
    if (value < std::numeric_limits<int>::min()) {
        return std::numeric_limits<int>::min();
    }
    if (value > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(value);
}

// Reads the rest of a word (case-insensitive) whose first letter was read.
// On a mismatch the mismatching character goes back and false is returned.
bool ReadWordRest(FILE *file, const char *rest)
{
    for (; *rest; ++rest) {
        const int c = std::getc(file);
        if (LowerCase(c) != *rest) {
            PutBack(file, c);
            return false;
        }
    }
    return true;
}

// "%f": a decimal number with an optional fraction and exponent, or "nan",
// "inf", "infinity", each with an optional sign. Converted with
// std::from_chars, which never looks at the locale.
bool ScanFloat(FILE *file, float *value)
{
    int c = SkipScanSpace(file);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::getc(file);
    }

    const int first = LowerCase(c);
    if (first == 'n') {
        if (!ReadWordRest(file, "an")) {
            return false;
        }
        *value = std::numeric_limits<float>::quiet_NaN();
        return true;
    }
    if (first == 'i') {
        if (!ReadWordRest(file, "nf")) {
            return false;
        }
        const int next = std::getc(file);
        if (LowerCase(next) == 'i') {
            ReadWordRest(file, "nity");
        } else {
            PutBack(file, next);
        }
        *value = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
        return true;
    }

    char text[128];
    int length = 0;
    int digits = 0;
    auto keep = [&](int ch) {
        if (length < static_cast<int>(sizeof(text)) - 1) {
            text[length++] = static_cast<char>(ch);
        }
    };
    while (IsDigit(c)) {
        keep(c);
        ++digits;
        c = std::getc(file);
    }
    if (c == '.') {
        keep(c);
        c = std::getc(file);
        while (IsDigit(c)) {
            keep(c);
            ++digits;
            c = std::getc(file);
        }
    }
    if (digits == 0) {
        PutBack(file, c);
        return false;
    }
    bool negativeExponent = false;
    if (c == 'e' || c == 'E') {
        const int mantissaLength = length;
        keep(c);
        c = std::getc(file);
        if (c == '+' || c == '-') {
            negativeExponent = c == '-';
            keep(c);
            c = std::getc(file);
        }
        if (IsDigit(c)) {
            while (IsDigit(c)) {
                keep(c);
                c = std::getc(file);
            }
        } else {
            length = mantissaLength;  // an exponent without digits is not part of the number
            negativeExponent = false;
        }
    }
    PutBack(file, c);
    text[length] = 0;

    float parsed = 0.0f;
    const std::from_chars_result result = std::from_chars(text, text + length, parsed);
    if (result.ec == std::errc::result_out_of_range) {
        parsed = negativeExponent ? 0.0f : std::numeric_limits<float>::infinity();
    } else if (result.ec != std::errc()) {
        return false;
    }
    *value = negative ? -parsed : parsed;
    return true;
}

}  // namespace

int MatchTextKey(const char *history, const char *const *keys, int count)
{
    if (history[0] != ' ') {
        return count;
    }
    for (int i = 0; i < count; ++i) {
        const char *key = keys[i];
        const int length = static_cast<int>(std::strlen(key));
        if (length == 0 || length > TextKeyHistorySize) {
            continue;
        }
        int j = 0;
        while (j < length && key[j] == history[length - 1 - j]) {
            ++j;
        }
        if (j == length) {
            return i;
        }
    }
    return count;
}

int ReadTextLine(FILE *file, char *buffer, int n)
{
    if (n > 0) {
        std::memset(buffer, 0, static_cast<size_t>(n));
    }
    int kept = 0;
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF || c == 0 || c == '\r' || c == '\n') {
            return c;
        }
        if (c >= 32 && kept < n - 1) {
            buffer[kept++] = static_cast<char>(c);
        }
    }
}

int ReadTextLineNoEscapes(FILE *file, char *buffer, int n)
{
    if (n > 0) {
        std::memset(buffer, 0, static_cast<size_t>(n));
    }
    int kept = 0;
    int c = 0;
    while (kept < n - 1) {
        c = std::getc(file);
        if (c == EOF || c == 0 || c == '\r' || c == '\n') {
            return c;
        }
        if (c >= 32 && FileCharToEscape(c) == 0) {
            buffer[kept++] = static_cast<char>(c);
        }
    }
    return c;
}

bool ScanTextInt(FILE *file, int *value)
{
    int64_t scanned = 0;
    if (!ScanInt64(file, &scanned)) {
        return false;
    }
    *value = SaturateToInt(scanned);
    return true;
}

void ReadClampedInt(FILE *file, int *variable, int min, int max)
{
    int64_t value = *variable;
    ScanInt64(file, &value);
    if (value < min) {
        value = min;
    } else if (value > max) {
        value = max;
    }
    *variable = static_cast<int>(value);
}

void ReadMaskedInt(FILE *file, uint32_t *variable, uint32_t mask)
{
    int value = 0;
    if (ScanTextInt(file, &value)) {
        *variable = static_cast<uint32_t>(value);
    }
    *variable &= mask;
}

void ReadClampedFloat(FILE *file, float *variable, float min, float max)
{
    float value = *variable;
    ScanFloat(file, &value);
    if (!(value >= min)) {  // also a NaN
        value = min;
    } else if (value > max) {
        value = max;
    }
    *variable = value;
}

void ReadTextSettings(FILE *file, const char *const *keys, int count, TextKeyHandler handler, void *context)
{
    char history[TextKeyHistorySize] = {};
    for (int c = std::getc(file); c != EOF; c = std::getc(file)) {
        std::memmove(history + 1, history, TextKeyHistorySize - 1);
        history[0] = static_cast<char>(c);
        const int key = MatchTextKey(history, keys, count);
        if (key < count) {
            handler(file, key, context);
        }
    }
}
