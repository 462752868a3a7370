#include "audio/engine_file.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/data_stream.h"

namespace {

constexpr const char *WaveReadError = "Could not read wave";

EngineMessagePrinter MessagePrinter = nullptr;

void PrintWarning(const char *text)
{
    if (MessagePrinter) {
        MessagePrinter(text);
    }
}


float ReadParam(DataStream &stream, int k)
{
    const EngineParamRange &range = GetEngineParamRange(k);
    return stream.ReadFloatClamped(range.minimum, range.maximum);
}

void ReadParams(EngineSoundParams &params, DataStream &stream, int first, int last)
{
    for (int k = first; k <= last; ++k) {
        params.Word(k) = ReadParam(stream, k);
    }
}

void SkipFloats(DataStream &stream, int count)
{
    for (int i = 0; i < count; ++i) {
        stream.ReadU32();
    }
}

float FloatFromBits(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// A stored sample as the synthesis may use it: within 16 bits, never NaN.
float HeldSample(float value)
{
    if (!std::isfinite(value)) {
        return 0.0f;
    }
    return value < -32768.0f ? -32768.0f : (value > 32767.0f ? 32767.0f : value);
}

void WriteFloat(DataStream &stream, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    stream.WriteU32(bits);
}

}  // namespace

void SetEngineMessagePrinter(EngineMessagePrinter printer)
{
    MessagePrinter = printer;
}

int EngineWave::Read(DataStream &stream)
{
    const int count = stream.ReadU8();
    stream.ReadU8();
    const int waveKind = stream.ReadU8();
    const int waveChannels = stream.ReadU8();
    if (waveKind < 0 || waveKind > 3) {
        PrintWarning(WaveReadError);
        return 0;
    }
    kind = static_cast<uint8_t>(waveKind);
    channels = static_cast<uint8_t>(waveChannels);
    if (waveKind == 0) {
        SkipFloats(stream, count * 4);
        return stream.overrun ? 0 : 1;
    }
    if (waveKind == 1) {
        SkipFloats(stream, count * 2);
        return stream.overrun ? 0 : 1;
    }
    if (waveKind == 2) {
        return 1;
    }

    const uint32_t n = stream.ReadU32();
    if (stream.overrun || n > EngineWaveMaxSamples || static_cast<int64_t>(n) * 4 > stream.Remaining()) {
        return 0;
    }
    // The old samples go whatever the new count: a count of 0 is an empty wave.
    float *read = nullptr;
    if (n > 0) {
        uint8_t *bytes = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(n) * 4));
        if (!bytes) {
            return 0;
        }
        stream.ReadBlock(bytes, static_cast<int>(n * 4));
        if (stream.overrun) {
            std::free(bytes);
            return 0;
        }
        // Converted in place: each float takes the place of its own four bytes.
        read = reinterpret_cast<float *>(bytes);
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t *b = bytes + i * 4;
            const uint32_t bits = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                  static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
            read[i] = HeldSample(FloatFromBits(bits));
        }
    }
    std::free(samples);
    samples = read;
    sampleCount = n;
    return 1;
}

void EngineWave::Write(DataStream &stream) const
{
    stream.WriteU8(0);
    stream.WriteU8(0);
    stream.WriteU8(3);
    stream.WriteU8(channels);
    const uint32_t n = samples ? sampleCount : 0;
    stream.WriteU32(n);
    if (n == 0) {
        return;
    }
    uint8_t *bytes = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(n) * 4));
    if (!bytes) {
        // Never leave a count without its samples behind.
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &samples[i], sizeof(bits));
            stream.WriteU32(bits);
        }
        return;
    }
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &samples[i], sizeof(bits));
        for (int j = 0; j < 4; ++j) {
            bytes[i * 4 + j] = static_cast<uint8_t>(bits >> (8 * j));
        }
    }
    stream.WriteBytes(bytes, static_cast<int>(n * 4));
    std::free(bytes);
}

void EngineRecord::FreeWaves(bool clear)
{
    for (EngineWave &wave : waves) {
        wave.Free(clear);
    }
}

void WriteEngineRecord(EngineRecord &engine, DataStream &stream, bool carData)
{
    // The mechanical part always carries both markers, whatever the engine in
    // memory holds: without them the record would be read back in the oldest
    // layout.
    WriteEngineFigures(engine, stream);
    if (carData) {
        return;
    }
    if (!(engine.flags & EngineFlagTurbo)) {
        engine.waves[WaveTurbo].Free(true);
        engine.waves[WaveDumpValve].Free(true);
    }
    for (const EngineWave &wave : engine.waves) {
        wave.Write(stream);
    }
    for (int k = EngineParamFirst; k <= EngineParamLast; ++k) {
        WriteFloat(stream, engine.soundParams.Word(k));
    }
}

int ReadEngineRecord(EngineRecord &mechanical, DataStream &stream, int fileVersion, EngineRecord &sound,
                     bool carData)
{
    return ReadEngineRecord(mechanical, stream, fileVersion, sound.soundParams, sound.waves, carData);
}

int ReadEngineRecord(EngineRecord &mechanical, DataStream &stream, int fileVersion, EngineSoundParams &params,
                     EngineWave *waves, bool carData)
{
    const int version = ReadEngineFigures(mechanical, stream);
    if (version < 0) {
        PrintWarning(EngineReadError);
        return 0;
    }

    // Car data of a later record version carries no sound section.
    if (carData && version > 7) {
        return stream.overrun ? 0 : 1;
    }
    return ReadEngineSound(params, waves, stream, fileVersion, version);
}

int ReadEngineWaves(EngineRecord &sound, DataStream &stream, int fileVersion, int recordVersion)
{
    return ReadEngineSound(sound.soundParams, sound.waves, stream, fileVersion, recordVersion);
}

int ReadEngineWaves(CarEngine &engine, DataStream &stream, int fileVersion, int recordVersion)
{
    return ReadEngineSound(engine.soundParams, engine.waves, stream, fileVersion, recordVersion);
}

int ReadEngineSound(EngineSoundParams &params, EngineWave *waves, DataStream &stream, int fileVersion,
                    int recordVersion)
{
    (void)fileVersion;
    const int v = recordVersion;
    std::memset(params.name, 0, sizeof(params.name));
    if (v < 2) {
        SkipFloats(stream, 1);
    }
    const int waveCount = v >= 8 ? 8 : (v == 7 ? 7 : (v == 6 ? 6 : 4));
    for (int i = 0; i < waveCount; ++i) {
        if (!waves[i].Read(stream)) {
            return 0;
        }
    }

    ReadParams(params, stream, 8, 8);
    if (v > 11) {
        ReadParams(params, stream, 9, 9);
    }
    ReadParams(params, stream, 10, 14);
    if (v > 8) {
        ReadParams(params, stream, 15, 15);
    }
    if (v < 6) {
        SkipFloats(stream, 1);
    }
    if (v > 4) {
        ReadParams(params, stream, 16, 16);
    }
    ReadParams(params, stream, 17, 18);
    if (v > 5) {
        ReadParams(params, stream, 19, 20);
    }
    if (v >= 5 && v <= 7) {
        SkipFloats(stream, 3);
    }
    if (v > 4) {
        ReadParams(params, stream, 21, 21);
    }
    if (v > 2) {
        ReadParams(params, stream, 22, 24);
    }
    if (v > 5) {
        ReadParams(params, stream, 25, 25);
    }
    if (v > 6) {
        ReadParams(params, stream, 26, 27);
    }
    if (v > 7) {
        ReadParams(params, stream, 28, 29);
    }
    if (v < 10) {
        SkipFloats(stream, 1);
    }
    ReadParams(params, stream, 30, 30);
    if (v > 8) {
        ReadParams(params, stream, 31, 31);
    }
    if (v > 5) {
        ReadParams(params, stream, 32, 33);
    }
    if (v > 10) {
        ReadParams(params, stream, 34, 36);
    }
    return stream.overrun ? 0 : 1;
}

int WriteEngineFile(EngineRecord &engine, const char *path, MenuPage *page)
{
    DataStream stream;
    if (stream.OpenWrite(page, path, EngineFileId, EngineFileVersion)) {
        return 0;
    }
    WriteEngineRecord(engine, stream, false);
    return stream.Close() == 0 ? 1 : 0;
}

int ReadEngineFile(EngineRecord &mechanical, const char *path, MenuPage *page, EngineRecord &sound)
{
    return ReadEngineFile(mechanical, path, page, sound.soundParams, sound.waves);
}

int ReadEngineFile(EngineRecord &mechanical, const char *path, MenuPage *page, EngineSoundParams &params,
                   EngineWave *waves)
{
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(page, path, EngineFileId, &version, EngineFileVersion, 0)) {
        return 0;
    }
    const int read = ReadEngineRecord(mechanical, stream, version, params, waves, false);
    stream.Close();
    return read;
}
