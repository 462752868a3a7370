#include "audio/wave_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "audio/engine_file.h"
#include "audio/sound_links.h"
#include "platform/file_system.h"

namespace {

uint32_t U32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint16_t U16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void PutU32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void PutU16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

bool Named(const uint8_t *p, const char *id)
{
    return strncasecmp(reinterpret_cast<const char *>(p), id, 4) == 0;
}

// Closes the file and shows the reason with the path; always 0.
int Fail(FILE *file, MenuPage *page, const char *text, const char *path)
{
    if (file != nullptr) {
        std::fclose(file);
    }
    SoundShowTextBoxLatinTail(page, text, path);
    return 0;
}

bool Skip(FILE *file, uint32_t bytes)
{
    return bytes == 0 || std::fseek(file, static_cast<long>(bytes), SEEK_CUR) == 0;
}

int16_t Midpoint(int16_t a, int16_t b)
{
    return static_cast<int16_t>((static_cast<int32_t>(a) + static_cast<int32_t>(b)) >> 1);
}

}  // namespace

int ReadWavFile(MenuPage *page, const char *path, int mixDown, uint32_t maxValues, int loop, int16_t **values,
                uint32_t *count, int *stereo)
{
    *values = nullptr;
    *count = 0;
    *stereo = 0;

    FILE *file = PlatformOpenFile(path, "rb");
    if (file == nullptr) {
        return Fail(nullptr, page, "Could not open file :", path);
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    if (size < WavHeaderBytes || std::fseek(file, 0, SEEK_SET) != 0) {
        return Fail(file, page, "File is too short :", path);
    }
    uint8_t header[36];
    if (std::fread(header, 1, sizeof(header), file) != sizeof(header)) {
        return Fail(file, page, "Error reading file :", path);
    }
    if (!Named(header, "RIFF") || !Named(header + 8, "WAVE") || !Named(header + 12, "fmt ")) {
        return Fail(file, page, "File failed header check :", path);
    }
    if (static_cast<long>(U32(header + 4)) != size - 8) {
        return Fail(file, page, "File is corrupted :", path);
    }
    const uint32_t formatSize = U32(header + 16);
    if (U16(header + 20) != 1 || formatSize < 16) {
        return Fail(file, page, "Wave does not appear to be PCM :", path);
    }
    const int channels = U16(header + 22);
    if (channels != 1 && channels != 2) {
        return Fail(file, page, "Wave is neither mono nor stereo :", path);
    }
    const bool down = channels == 2 && mixDown != 0;
    const uint32_t rate = U32(header + 24);
    if (rate != 22050 && rate != 44100) {
        return Fail(file, page, "Sample rate is not supported :", path);
    }
    const bool doubling = rate == 22050;
    if (U16(header + 34) != 16) {
        return Fail(file, page, "Wave is not 16-bit :", path);
    }
    const uint32_t blockAlign = U16(header + 32);
    if (blockAlign != static_cast<uint32_t>(channels) * 2) {
        return Fail(file, page, "File is corrupted :", path);
    }

    // The rest of a longer format chunk, then every chunk up to "data". A
    // chunk of odd size is followed by one pad byte.
    if (!Skip(file, formatSize - 16)) {
        return Fail(file, page, "Error reading file :", path);
    }
    uint32_t dataSize = 0;
    for (;;) {
        uint8_t chunk[8];
        if (std::fread(chunk, 1, sizeof(chunk), file) != sizeof(chunk)) {
            return Fail(file, page, "Error reading file :", path);
        }
        const uint32_t chunkSize = U32(chunk + 4);
        if (Named(chunk, "data")) {
            dataSize = chunkSize;
            break;
        }
        const long at = std::ftell(file);
        const uint64_t next = static_cast<uint64_t>(at) + chunkSize + (chunkSize & 1u);
        if (at < 0 || next > static_cast<uint64_t>(size) || !Skip(file, chunkSize + (chunkSize & 1u))) {
            return Fail(file, page, "Error reading file :", path);
        }
    }

    // Whole frames only: a stray half frame is left unread.
    const uint32_t frames = dataSize / blockAlign;
    const uint32_t inputValues = frames * static_cast<uint32_t>(channels);
    const uint32_t units = down ? frames : inputValues;
    const bool monoResult = channels == 1 || down;
    uint64_t resultCount = units;
    if (doubling && units > 0) {
        resultCount = 2ull * units;
        if (!loop) {
            resultCount -= monoResult ? 1 : 2;
        }
    }
    if (resultCount > maxValues) {
        return Fail(file, page, "Wave is too long :", path);
    }
    if (resultCount == 0) {
        std::fclose(file);
        return 0;
    }

    int16_t *input = new int16_t[inputValues];
    uint8_t *bytes = reinterpret_cast<uint8_t *>(input);
    if (std::fread(bytes, 2, inputValues, file) != inputValues) {
        delete[] input;
        return Fail(file, page, "Error reading file :", path);
    }
    std::fclose(file);
    for (uint32_t i = 0; i < inputValues; i++) {   // the file is little-endian
        input[i] = static_cast<int16_t>(U16(bytes + 2 * i));
    }

    if (down) {
        for (uint32_t i = 0; i < frames; i++) {
            input[i] = static_cast<int16_t>((static_cast<int32_t>(input[2 * i]) + input[2 * i + 1]) >> 1);
        }
    }
    const int width = monoResult ? 1 : 2;   // values per frame of the result
    const uint32_t resultFrames = units / static_cast<uint32_t>(width);
    int16_t *out = input;
    if (doubling) {
        out = new int16_t[resultCount];
        uint32_t n = 0;
        for (uint32_t f = 0; f < resultFrames; f++) {
            const bool last = f + 1 == resultFrames;
            for (int c = 0; c < width; c++) {
                out[n + c] = input[f * width + c];
            }
            n += width;
            if (last && !loop) {
                break;
            }
            const uint32_t next = last ? 0 : f + 1;
            for (int c = 0; c < width; c++) {
                out[n + c] = Midpoint(input[f * width + c], input[next * width + c]);
            }
            n += width;
        }
        delete[] input;
    }
    *values = out;
    *count = static_cast<uint32_t>(resultCount);
    *stereo = monoResult ? 0 : 1;
    return 1;
}

void BuildWavHeader(uint8_t header[WavHeaderBytes], uint32_t frames, int channels)
{
    const uint32_t dataBytes = frames * static_cast<uint32_t>(channels) * 2;
    std::memcpy(header, "RIFF", 4);
    PutU32(header + 4, dataBytes + 36);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    PutU32(header + 16, 16);
    PutU16(header + 20, 1);
    PutU16(header + 22, static_cast<uint16_t>(channels));
    PutU32(header + 24, 44100);
    PutU32(header + 28, static_cast<uint32_t>(channels) * 88200);
    PutU16(header + 32, static_cast<uint16_t>(channels * 2));
    PutU16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    PutU32(header + 40, dataBytes);
}

int WriteWavFile(MenuPage *page, const char *path, uint32_t frames, int channels, const int16_t *data)
{
    uint8_t header[WavHeaderBytes];
    BuildWavHeader(header, frames, channels);
    FILE *file = PlatformOpenFile(path, "wb");
    if (file == nullptr) {
        SoundShowTextBoxLatinTail(page, "Could not create file :", path);
        return 0;
    }
    const size_t values = static_cast<size_t>(frames) * static_cast<size_t>(channels);
    bool written = std::fwrite(header, 1, sizeof(header), file) == sizeof(header);
    uint8_t buffer[4096];
    for (size_t i = 0; written && i < values;) {
        size_t n = 0;
        for (; n < sizeof(buffer) / 2 && i < values; n++, i++) {
            PutU16(buffer + 2 * n, static_cast<uint16_t>(data[i]));
        }
        written = std::fwrite(buffer, 2, n, file) == n;
    }
    written = std::fclose(file) == 0 && written;
    if (!written) {
        SoundShowTextBoxLatinTail(page, "Could not create file :", path);
        return 0;
    }
    return 1;
}

int EngineWave::LoadWav(MenuPage *page, const char *path, uint32_t maxValues, int loop)
{
    int16_t *values = nullptr;
    uint32_t count = 0;
    int stereo = 0;
    if (!ReadWavFile(page, path, 1, maxValues, loop, &values, &count, &stereo)) {
        return 0;
    }
    float *converted = static_cast<float *>(std::malloc(static_cast<size_t>(count) * sizeof(float)));
    if (converted == nullptr) {
        delete[] values;
        return 0;
    }
    for (uint32_t i = 0; i < count; i++) {
        converted[i] = static_cast<float>(values[i]);
    }
    delete[] values;
    std::free(samples);
    samples = converted;
    sampleCount = count;
    return 1;
}

int EngineWave::SaveWav(MenuPage *page, const char *path) const
{
    if (samples == nullptr || sampleCount == 0) {
        return 0;
    }
    int16_t *values = new int16_t[sampleCount];
    for (uint32_t i = 0; i < sampleCount; i++) {
        float s = std::nearbyint(samples[i]);
        s = s < -32768.0f ? -32768.0f : (s > 32767.0f ? 32767.0f : s);
        values[i] = static_cast<int16_t>(s == s ? s : 0.0f);
    }
    const int written = WriteWavFile(page, path, sampleCount, 1, values);
    delete[] values;
    return written;
}
