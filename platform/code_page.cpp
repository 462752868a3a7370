#include "platform/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>

namespace {

// Converters stay open for the run; the program switches between very few
// code pages. Game thread only.
constexpr int MaxConverters = 8;

struct Converter {
    int codePage;
    bool toUtf8;
    iconv_t handle;
};

Converter Converters[MaxConverters];
int ConverterCount = 0;
int NextConverterSlot = 0;

const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

iconv_t OpenConverter(int codePage, bool toUtf8)
{
    for (int i = 0; i < ConverterCount; ++i) {
        if (Converters[i].codePage == codePage && Converters[i].toUtf8 == toUtf8) {
            return Converters[i].handle;
        }
    }
    if (codePage <= 0 || codePage > 65535) {
        return NoConverter;
    }
    char name[16];
    std::snprintf(name, sizeof(name), "CP%d", codePage);
    const iconv_t handle = toUtf8 ? iconv_open("UTF-8", name) : iconv_open(name, "UTF-8");
    if (handle == NoConverter) {
        return NoConverter;
    }
    // A full cache gives up its oldest entry.
    int slot = ConverterCount;
    if (ConverterCount < MaxConverters) {
        ++ConverterCount;
    } else {
        slot = NextConverterSlot;
        NextConverterSlot = (NextConverterSlot + 1) % MaxConverters;
        iconv_close(Converters[slot].handle);
    }
    Converters[slot] = {codePage, toUtf8, handle};
    return handle;
}

// Bytes taken by the UTF-8 sequence that starts with this byte (1 for a
// byte that cannot start one, so that a bad byte is skipped alone).
size_t Utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    if (lead >= 0xC2) {
        return 2;
    }
    return 1;
}

// Converts as much of the text as fits. A character iconv refuses is skipped:
// its UTF-8 sequence when reading UTF-8, one byte otherwise.
int Convert(iconv_t handle, bool fromUtf8, const char *text, char *out, int size)
{
    if (handle == NoConverter || out == nullptr || size < 1) {
        if (out != nullptr && size >= 1) {
            out[0] = 0;
        }
        return -1;
    }
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    char *in = const_cast<char *>(text != nullptr ? text : "");
    size_t inLeft = std::strlen(in);
    char *to = out;
    size_t toLeft = static_cast<size_t>(size - 1);
    while (inLeft > 0) {
        if (iconv(handle, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            break;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            break;
        }
        // A broken UTF-8 sequence loses only the bytes that belong to it.
        size_t skip = 1;
        if (fromUtf8) {
            const size_t length = Utf8SequenceLength(static_cast<unsigned char>(*in));
            while (skip < length && skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) {
                ++skip;
            }
        }
        in += skip;
        inLeft -= skip;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
    }
    // Ends any shift state; on E2BIG the last character is kept whole.
    char *before = to;
    size_t leftBefore = toLeft;
    if (iconv(handle, nullptr, nullptr, &to, &toLeft) == static_cast<size_t>(-1)) {
        to = before;
        toLeft = leftBefore;
    }
    *to = 0;
    return static_cast<int>(to - out);
}

}  // namespace

bool PlatformCodePageSupported(int codePage)
{
    return OpenConverter(codePage, false) != NoConverter;
}

int PlatformUtf8ToCodePage(int codePage, const char *utf8, char *out, int size)
{
    return Convert(OpenConverter(codePage, false), true, utf8, out, size);
}

int PlatformCodePageToUtf8(int codePage, const char *text, char *out, int size)
{
    return Convert(OpenConverter(codePage, true), false, text, out, size);
}

bool PlatformIsUtf8(const char *text)
{
    if (text == nullptr) {
        return true;
    }
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p != 0) {
        const size_t length = Utf8SequenceLength(*p);
        if (length == 1) {
            if (*p >= 0x80) {
                return false;
            }
            ++p;
            continue;
        }
        // Overlong forms, surrogates and values above U+10FFFF are refused by
        // the bounds on the second byte.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (*p == 0xE0) {
            low = 0xA0;
        } else if (*p == 0xED) {
            high = 0x9F;
        } else if (*p == 0xF0) {
            low = 0x90;
        } else if (*p == 0xF4) {
            high = 0x8F;
        }
        if (p[1] < low || p[1] > high) {
            return false;
        }
        for (size_t i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) {
                return false;
            }
        }
        p += length;
    }
    return true;
}
