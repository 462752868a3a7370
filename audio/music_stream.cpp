#include "audio/music_stream.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/music_links.h"
#include "audio/sound_output.h"
#include "platform/ogg_vorbis.h"

OggStream MusicStream;

namespace {

constexpr uint32_t ReadBytes = 4096;

}  // namespace

int16_t MusicSampleValue(float scaledGain, float sample)
{
    const float v = std::nearbyint(scaledGain * sample);
    if (std::isnan(v)) {
        return 0;
    }
    if (v > 32767.0f) {
        return 32767;
    }
    if (v < -32767.0f) {
        return -32767;
    }
    return static_cast<int16_t>(v);
}

uint32_t OggStream::ReadMemory(uint8_t *dest, uint32_t n, const uint8_t *window, uint32_t *position)
{
    const uint32_t fill = windowFill;
    if (*position >= fill) {
        return 0;
    }
    if (n > fill - *position) {
        n = fill - *position;
    }
    std::memcpy(dest, window + *position, n);
    *position += n;
    return n;
}

uint32_t OggStream::ReadMore(const uint8_t *window, uint32_t *position)
{
    char *buffer = OggSyncBuffer(states, ReadBytes);
    if (buffer == nullptr) {
        lastReadBytes = 0;
        return 0;
    }
    lastRead = reinterpret_cast<const uint8_t *>(buffer);
    lastReadBytes = ReadMemory(reinterpret_cast<uint8_t *>(buffer), ReadBytes, window, position);
    OggSyncWrote(states, static_cast<long>(lastReadBytes));
    return lastReadBytes;
}

void OggStream::Fail(const char *warning)
{
    MusicPrintWarning(warning);
    ok = 0;
    Close();
}

void OggStream::Close()
{
    ok = 0;
    if (states == nullptr) {
        return;
    }
    if (blockOn) {
        VorbisBlockClear(states);
    }
    if (dspOn) {
        VorbisDspClear(states);
    }
    if (commentOn) {
        VorbisCommentClear(states);
    }
    if (infoOn) {
        VorbisInfoClear(states);
    }
    if (streamOn) {
        OggStreamClear(states);
    }
    if (syncOn) {
        OggSyncClear(states);
    }
    blockOn = dspOn = commentOn = infoOn = streamOn = syncOn = false;
    DestroyOggVorbisStates(states);
    states = nullptr;
    pcm = nullptr;
    pcmFrames = 0;
    lastRead = nullptr;
    lastReadBytes = 0;
}

void OggStream::Open(const uint8_t *window, uint32_t *position)
{
    Close();
    states = CreateOggVorbisStates();
    // 1.
    OggSyncInit(states);
    syncOn = true;
    endFlag = 0;
    ok = 1;
    channels = 0;
    ReadMore(window, position);
    // 2.
    if (OggSyncPageout(states) != 1) {
        Fail(lastReadBytes >= ReadBytes ? "OGG: Input does not appear to be an Ogg bitstream"
                                        : "OGG: Run out of data");
        return;
    }
    // 3.
    OggStreamInit(states, OggPageSerialno(states));
    streamOn = true;
    VorbisInfoInit(states);
    infoOn = true;
    VorbisCommentInit(states);
    commentOn = true;
    // 4.
    if (OggStreamPagein(states) < 0) {
        Fail("OGG: Error reading first page of Ogg bitstream data");
        return;
    }
    if (OggStreamPacketout(states) != 1) {
        Fail("OGG: Error reading initial header packet");
        return;
    }
    if (VorbisSynthesisHeaderin(states) < 0) {
        Fail("OGG: This Ogg bitstream does not contain Vorbis audio data");
        return;
    }
    // 5. The comment and codebook headers.
    int count = 0;
    while (count < 2) {
        int result = 0;
        while (count < 2) {
            result = OggSyncPageout(states);
            if (result == 0) {
                break;
            }
            if (result == 1) {
                OggStreamPagein(states);
                while (count < 2) {
                    const int packet = OggStreamPacketout(states);
                    if (packet == 0) {
                        break;
                    }
                    if (packet < 0) {
                        Fail("OGG: Corrupt secondary header");
                        return;
                    }
                    if (VorbisSynthesisHeaderin(states) < 0) {
                        Fail("OGG: Corrupt secondary header");
                        return;
                    }
                    ++count;
                }
            }
        }
        if (ReadMore(window, position) == 0 && count < 2) {
            Fail("OGG: End of file before finding all Vorbis headers");
            return;
        }
    }
    channels = VorbisChannels(states);
    if (channels < 1) {
        Fail("OGG: Corrupt secondary header");
        return;
    }
    // 6.
    const int comments = VorbisCommentCount(states);
    for (int i = 0; i < comments; ++i) {
        char line[256];
        std::snprintf(line, sizeof(line), "OGG: %s", VorbisCommentText(states, i));
        MusicPrintInfoBeep(line);
    }
    // 7.
    framesPerStep = 4096u / static_cast<uint32_t>(channels);
    if (framesPerStep == 0) {
        framesPerStep = 1;
    }
    if (VorbisSynthesisInit(states) != 0) {
        Fail("OGG: Corrupt secondary header");
        return;
    }
    dspOn = true;
    VorbisBlockInit(states);
    blockOn = true;
    decodeState = 0;
}

int OggStream::Decode(const uint8_t *window, int16_t *ring, uint32_t *position, uint32_t *writeFrames,
                      uint32_t maxFrames)
{
    if (ok == 0 || states == nullptr) {
        return 0;
    }
    if (decodeState == 0) {
        int result = OggSyncPageout(states);
        while (result == 0) {
            if (ReadMore(window, position) == 0) {
                break;
            }
            result = OggSyncPageout(states);
        }
        if (result != 1) {
            endFlag = 1;
            ok = 0;
            return 0;
        }
        OggStreamPagein(states);
        decodeState = 1;
        return 0;
    }
    if (decodeState == 1) {
        const int result = OggStreamPacketout(states);
        if (result == 0) {
            if (OggPageEos(states)) {
                endFlag = 1;
                ok = 0;
            } else {
                decodeState = 0;
            }
            return 0;
        }
        if (result == 1 && VorbisSynthesis(states) == 0) {
            VorbisSynthesisBlockin(states);
        }
        decodeState = 2;
        return 0;
    }
    const int offered = VorbisSynthesisPcmout(states, &pcm);
    pcmFrames = offered;
    if (offered < 1) {
        decodeState = 1;
        return 0;
    }
    uint32_t m = static_cast<uint32_t>(offered) < framesPerStep ? static_cast<uint32_t>(offered) : framesPerStep;
    if (m > maxFrames) {
        m = maxFrames;
    }
    if (m == 0) {
        return 0;
    }
    const float g = volumeGain * 32767.0f;
    // Mono sounds on both sides; of more channels the first two are heard.
    for (int c = 0; c < 2; ++c) {
        const float *source = pcm[channels == 1 ? 0 : c];
        uint32_t w = *writeFrames;
        for (uint32_t i = 0; i < m; ++i) {
            ring[2 * w + static_cast<uint32_t>(c)] = MusicSampleValue(g, source[i]);
            w = (w + 1) % MusicRingFrames;
        }
    }
    *writeFrames = (*writeFrames + m) % MusicRingFrames;
    VorbisSynthesisRead(states, static_cast<int>(m));
    return static_cast<int>(m * 4);
}

void OggStream::SetVolume(float setting)
{
    volumeGain = VolumeGain(setting);
}
