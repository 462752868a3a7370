#include "tools/code_page_decode.h"

#include <cerrno>
#include <cstring>

#include <iconv.h>

namespace {

// Converts one byte sequence from its start state. Returns the one Unicode
// character it makes, 0 when it is not exactly one character, or -1 when the
// sequence is a valid start that needs more bytes.
int64_t ConvertOne(iconv_t converter, const uint8_t *bytes, size_t length)
{
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char input[2];
    std::memcpy(input, bytes, length);
    uint32_t output[2] = {};
    char *in = input;
    char *out = reinterpret_cast<char *>(output);
    size_t inLeft = length;
    size_t outLeft = sizeof(output);
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
        return errno == EINVAL ? -1 : 0;
    }
    if (inLeft != 0 || outLeft != sizeof(output) - sizeof(uint32_t)) {
        return 0;
    }
    return output[0];
}

} // namespace

int DecodeCodePage(const char *converterName, DecodedCodePage *out)
{
    iconv_t converter = iconv_open("UTF-32LE", converterName);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return -1;
    }
    std::memset(out, 0, sizeof(*out));
    for (int b = 0; b < 256; ++b) {
        const uint8_t byte = static_cast<uint8_t>(b);
        const int64_t single = ConvertOne(converter, &byte, 1);
        if (single >= 0) {
            out->single[b] = static_cast<uint32_t>(single);
            continue;
        }
        out->lead[b] = true;
        for (int t = 0; t < 192; ++t) {
            const uint8_t pair[2] = {byte, static_cast<uint8_t>(64 + t)};
            const int64_t c = ConvertOne(converter, pair, 2);
            out->pair[b][t] = c > 0 ? static_cast<uint32_t>(c) : 0;
        }
    }
    iconv_close(converter);
    return 0;
}
