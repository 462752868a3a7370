#include "audio/music_player.h"

#include <cstring>
#include <vector>

#include "audio/car_sound_buffer.h"
#include "audio/music_links.h"
#include "audio/sound_links.h"
#include "audio/music_stream.h"
#include "audio/sound_output.h"
#include "core/colour.h"
#include "core/config_file.h"
#include "core/data_stream.h"
#include "core/settings.h"
#include "core/shell_globals.h"
#include "platform/file_system.h"
#include "platform/sound_device.h"
#include "race/game_state.h"

FILE *MusicFile = nullptr;
uint32_t MusicFileSize = 0;
uint32_t MusicBytesRead = 0;
uint32_t MusicBytesConsumed = 0;
uint32_t MusicReadPointer = 0;
uint32_t MusicRingWrite = 0;
uint32_t MusicLastPlayStep = 0;
uint32_t SelectedMusicPlaying = 0;
uint32_t MusicContext = 0;

RadioChannel RadioChannels[RadioChannelLimit] = {};
RadioTrack RadioTracks[RadioTrackLimit] = {};
int RadioChannelCount = 0;
int RadioTrackCount = 0;
int RadioCurrentTrack = -1;
int RadioHistory[RadioTrackLimit] = {};
int RadioHistoryCount = 0;
uint32_t RadioStopRequest = 0;

namespace {

constexpr uint32_t StepFrames = 4096;
constexpr uint32_t DecodePauseBytes = 0x1FC00;   // decoding waits for the window to slide
constexpr uint32_t SlideBytes = 0x1E000;         // the radio slides the window
constexpr uint32_t MinFreeFrames = 1024;
constexpr const char *RadioFileId = "QZRDIO";
constexpr size_t PathSize = 128;   // an 80-character folder, a 39-character name and ".ogg"

// The music path of a name; false when it does not fit.
bool MusicPath(char (&path)[PathSize], const char *name)
{
    const int written = std::snprintf(path, sizeof(path), MusicFilePattern, name);
    return written >= 0 && static_cast<size_t>(written) < sizeof(path);
}

bool RadioPath(char (&path)[PathSize])
{
    const int written = std::snprintf(path, sizeof(path), "%s\\radio.rad", MusicDir);
    return written >= 0 && static_cast<size_t>(written) < sizeof(path);
}

bool FileFullyConsumed()
{
    return MusicBytesConsumed >= MusicFileSize;
}

// Stops "M" and leaves the music-playing state.
void StopMusicBuffer()
{
    if (MusicBufferRunning == 0) {
        return;
    }
    SoundRingStop(MusicRing());
    SoundRingSetPosition(MusicRing(), 0);
    MusicBufferRunning = 0;
    if (SoundState == 2) {
        SoundState = 1;
    }
}

bool InHistory(int track)
{
    for (int i = 0; i < RadioHistoryCount; ++i) {
        if (RadioHistory[i] == track) {
            return true;
        }
    }
    return false;
}

void DropOldestHistory()
{
    if (RadioHistoryCount <= 0) {
        return;
    }
    std::memmove(RadioHistory, RadioHistory + 1, sizeof(int) * static_cast<size_t>(RadioHistoryCount - 1));
    --RadioHistoryCount;
}

void PushHistory(int track)
{
    if (RadioHistoryCount >= RadioTrackLimit) {
        DropOldestHistory();
    }
    RadioHistory[RadioHistoryCount++] = track;
}

void BuildCandidates(std::vector<int> &list, int channel)
{
    list.clear();
    for (int t = 0; t < RadioTrackCount; ++t) {
        const int weight = RadioTracks[t].weights[channel];
        if (weight == 0 || InHistory(t)) {
            continue;
        }
        char path[PathSize];
        if (!MusicPath(path, RadioTracks[t].name) || !FileExists(path)) {
            continue;
        }
        for (int i = 0; i < weight; ++i) {
            list.push_back(t);
        }
    }
}

// Step 5: with no file open, a weighted draw of a track not played lately.
void ChooseTrack(int channel)
{
    std::vector<int> list;
    BuildCandidates(list, channel);
    while (list.empty() && RadioHistoryCount > 0) {
        DropOldestHistory();
        BuildCandidates(list, channel);
    }
    if (list.empty()) {
        MusicChannel = -1;
        return;
    }
    while (!list.empty()) {
        const uint32_t x = StepFrameRandom();
        const int track = list[x % list.size()];
        const int played = PlayMusicFile(RadioTracks[track].name);
        SelectedMusicPlaying = 0;
        char line[96];
        if (played) {
            if (MusicContext != 0) {
                std::snprintf(line, sizeof(line), "Play : %s", RadioTracks[track].name);
                MusicShowHudMessage(line, ColourGreen);
            }
            PushHistory(track);
            RadioCurrentTrack = track;
            return;
        }
        std::snprintf(line, sizeof(line), "Failed : %s", RadioTracks[track].name);
        MusicShowHudMessage(line, ColourSalmon);
        std::vector<int> rest;
        for (const int entry : list) {
            if (entry != track) {
                rest.push_back(entry);
            }
        }
        list.swap(rest);
    }
    MusicChannel = -1;
}

}  // namespace

int PlayMusicFile(const char *name)
{
    if (SoundState == 0 || name == nullptr) {
        return 0;
    }
    // 1.
    char path[PathSize];
    FILE *file = MusicPath(path, name) ? PlatformOpenFile(path, "rb") : nullptr;
    if (file == nullptr) {
        MusicPrintLoadFileError(MusicPath(path, name) ? path : name);
        return 0;
    }
    // 2.
    StopMusic(0);
    // 3.
    if (MusicBufferRunning == 0) {
        const int clear = SoundState == 1 ? 1 : 0;
        if (clear) {
            MusicRingWrite = 0;
            MusicLastPlayStep = 0;
            SoundState = 2;
        }
        MusicBufferRunning = StartBufferSilent(MusicRing(), static_cast<int>(MusicRingFrames), clear, 1);
        if (MusicBufferRunning == 0) {
            std::fclose(file);
            return 0;
        }
    }
    // 4.
    if (MusicFileWindow == nullptr) {
        MusicFileWindow = new uint8_t[MusicFileWindowBytes]();
    }
    MusicFile = file;
    long size = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    std::fseek(file, 0, SEEK_SET);
    MusicFileSize = size > 0 ? static_cast<uint32_t>(size) : 0;
    const uint32_t want = MusicFileSize < MusicFileWindowBytes ? MusicFileSize : MusicFileWindowBytes;
    MusicBytesRead = static_cast<uint32_t>(std::fread(MusicFileWindow, 1, want, file));
    MusicBytesConsumed = 0;
    MusicReadPointer = 0;
    MusicStream.windowFill = MusicBytesRead;
    // 5.
    uint32_t position = 0;
    MusicStream.Open(MusicFileWindow, &position);
    MusicReadPointer = position;
    MusicBytesConsumed = position;
    // 6.
    if (MusicStream.ok == 0) {
        SoundPrintMessageLatinTail("Error initialising :", path, ColourSalmon);
        StopMusic(1);
        return 0;
    }
    SelectedMusicPlaying = 1;
    return 1;
}

void StopMusic(int rewind)
{
    RadioCurrentTrack = -1;
    if (MusicFile != nullptr) {
        std::fclose(MusicFile);
        MusicFile = nullptr;
        SelectedMusicPlaying = 0;
    }
    MusicStream.Close();
    if (rewind != 0) {
        StopMusicBuffer();
    }
}

void UpdateMusicBuffer()
{
    SoundRing *ring = MusicRing();
    uint32_t cursor = 0;
    int code = SoundRingPlayCursor(ring, &cursor);
    if (code != 0) {
        ReportSoundFailure("GetCurrentPosition:U", code);
        return;
    }
    const uint32_t step = (cursor / (StepFrames * 4)) * StepFrames;
    if (step == MusicLastPlayStep) {
        return;
    }
    const uint32_t frames = (step - MusicLastPlayStep) % MusicRingFrames;
    void *part1 = nullptr;
    void *part2 = nullptr;
    uint32_t size1 = 0;
    uint32_t size2 = 0;
    code = SoundRingLock(ring, MusicRingWrite * 4, frames * 4, &part1, &size1, &part2, &size2);
    if (code != 0) {
        ReportSoundFailure("Lock:U", code);
        return;
    }
    MusicLastPlayStep = step;
    DecodeMusic(step, part1);
    SoundRingUnlock(ring, part1, size1, part2, size2);
}

void DecodeMusic(uint32_t playStep, void *locked)
{
    if (MusicFile == nullptr || MusicStream.ok == 0 || locked == nullptr || MusicFileWindow == nullptr) {
        return;
    }
    // The ring's memory starts where the lock began less the write position.
    int16_t *ring = reinterpret_cast<int16_t *>(static_cast<uint8_t *>(locked) - MusicRingWrite * 4);
    // 1.
    if (MusicReadPointer > DecodePauseBytes && !FileFullyConsumed()) {
        return;
    }
    // 2.
    uint32_t free = playStep - MusicRingWrite;
    if (playStep <= MusicRingWrite) {
        free = playStep + MusicRingFrames - MusicRingWrite;
    }
    // 3. No step writes past the play step: what lies beyond it is still to
    // be played.
    while (free >= MinFreeFrames) {
        uint32_t position = MusicReadPointer;
        const int bytes = MusicStream.Decode(MusicFileWindow, ring, &position, &MusicRingWrite, free);
        free -= static_cast<uint32_t>(bytes) / 4;
        MusicBytesConsumed += position - MusicReadPointer;
        MusicReadPointer = position;
        if (MusicStream.ok == 0) {
            break;
        }
        if (!FileFullyConsumed() && MusicReadPointer > DecodePauseBytes) {
            break;
        }
    }
}

void SlideMusicWindow()
{
    if (MusicFile == nullptr || MusicFileWindow == nullptr) {
        return;
    }
    const uint32_t k = MusicReadPointer & ~3u;
    if (k == 0) {
        return;
    }
    std::memmove(MusicFileWindow, MusicFileWindow + k, MusicFileWindowBytes - k);
    MusicReadPointer -= k;
    const uint32_t kept = MusicStream.windowFill > k ? MusicStream.windowFill - k : 0;
    const uint32_t left = MusicFileSize - MusicBytesRead;
    const uint32_t want = k < left ? k : left;
    const uint32_t got =
        want > 0 ? static_cast<uint32_t>(std::fread(MusicFileWindow + kept, 1, want, MusicFile)) : 0;
    MusicBytesRead += got;
    MusicStream.windowFill = kept + got;
}

void UpdateMusic(int skip)
{
    const bool wasOpen = MusicFile != nullptr;
    RunRadio(skip);
    if (wasOpen && MusicFile == nullptr) {
        StopMusic(1);
    }
}

void RunRadio(int skip)
{
    if (SoundState == 0 || MusicPagesClosing()) {
        return;
    }
    // 1.
    if (MusicFile != nullptr) {
        if (MusicStream.ok == 0) {
            StopMusic(0);
        } else if (!FileFullyConsumed() && MusicReadPointer > SlideBytes) {
            SlideMusicWindow();
        }
    }
    // 2.
    if (skip || SelectedMusicPlaying) {
        RadioStopRequest = 0;
        return;
    }
    // 3.
    if (RadioStopRequest) {
        StopMusic(0);
        RadioStopRequest = 0;
    }
    // 4.
    int channel = 0;
    if (MusicContext == 0) {
        if (MusicSetup == 0) {
            if (MusicFile != nullptr) {
                RadioStopRequest = 1;
            }
            return;
        }
    } else {
        const bool replay = MultiplayerReplayPlaying != 0 || GameState == 3;
        const bool wanted = (MusicGame != 0 && GameState == 2) || (MusicReplay != 0 && replay);
        channel = MusicChannel;
        if (channel > RadioChannelCount - 1) {
            channel = RadioChannelCount - 1;
        }
        // A negative channel is none: no music is wanted.
        if (!wanted || channel < 0) {
            if (MusicFile != nullptr) {
                RadioStopRequest = 1;
            }
            return;
        }
    }
    if (channel >= RadioChannelLimit) {
        channel = RadioChannelLimit - 1;
    }
    // 5.
    if (MusicFile == nullptr) {
        ChooseTrack(channel);
        return;
    }
    // 6.
    const bool current = RadioCurrentTrack >= 0 && RadioCurrentTrack < RadioTrackCount;
    if ((current && RadioTracks[RadioCurrentTrack].weights[channel] == 0) ||
        (MusicContext != 0 && !current && SelectedMusicPlaying == 0)) {
        RadioStopRequest = 1;
    }
}

void SetMusicContext(int value)
{
    MusicContext = static_cast<uint32_t>(value);
}

void SetMusicChannel(int channel)
{
    MusicChannel = channel;
}

void ClearMusicChannel()
{
    MusicChannel = -1;
    RadioStopRequest = 1;
}

int ReadRadioFile()
{
    char path[PathSize];
    if (!RadioPath(path)) {
        return 0;
    }
    DataStream stream;
    int version = 0;
    if (stream.OpenRead(nullptr, path, RadioFileId, &version, RadioFileVersion, 0) != nullptr) {
        return 0;
    }
    RadioChannel channels[RadioChannelLimit] = {};
    RadioTrack tracks[RadioTrackLimit] = {};
    bool refused = false;
    const uint32_t channelCount = stream.ReadU32();
    if (channelCount > RadioChannelLimit) {
        refused = true;
    } else {
        for (uint32_t i = 0; i < channelCount; ++i) {
            stream.ReadBytes(channels[i].name, RadioChannelNameBytes);
            channels[i].name[RadioChannelNameBytes - 1] = 0;
        }
    }
    uint32_t trackCount = 0;
    if (!refused) {
        trackCount = stream.ReadU32();
        if (trackCount > RadioTrackLimit) {
            refused = true;
        }
    }
    if (!refused) {
        const int nameBytes = version < RadioLongNameVersion ? RadioOldNameBytes : RadioTrackNameBytes;
        for (uint32_t i = 0; i < trackCount; ++i) {
            stream.ReadBytes(tracks[i].name, nameBytes);
            tracks[i].name[RadioTrackNameBytes - 1] = 0;
            stream.ReadBytes(tracks[i].weights, RadioChannelLimit);
        }
        refused = stream.overrun;
    }
    stream.Close();
    if (refused) {
        MusicPrintLoadFileError(path);
        return 0;
    }
    std::memcpy(RadioChannels, channels, sizeof(channels));
    std::memcpy(RadioTracks, tracks, sizeof(tracks));
    RadioChannelCount = static_cast<int>(channelCount);
    RadioTrackCount = static_cast<int>(trackCount);
    return 1;
}

int WriteRadioFile(MenuPage *page)
{
    char path[PathSize];
    if (!RadioPath(path)) {
        return 0;
    }
    DataStream stream;
    if (stream.OpenWrite(page, path, RadioFileId, RadioFileVersion) != nullptr) {
        return 0;
    }
    const int channels = RadioChannelCount < 0 ? 0 : (RadioChannelCount > RadioChannelLimit ? RadioChannelLimit
                                                                                            : RadioChannelCount);
    const int tracks = RadioTrackCount < 0 ? 0 : (RadioTrackCount > RadioTrackLimit ? RadioTrackLimit
                                                                                    : RadioTrackCount);
    stream.WriteU32(static_cast<uint32_t>(channels));
    for (int i = 0; i < channels; ++i) {
        stream.WriteBytes(RadioChannels[i].name, RadioChannelNameBytes);
    }
    stream.WriteU32(static_cast<uint32_t>(tracks));
    for (int i = 0; i < tracks; ++i) {
        stream.WriteBytes(RadioTracks[i].name, RadioTrackNameBytes);
        stream.WriteBytes(RadioTracks[i].weights, RadioChannelLimit);
    }
    return stream.Close() == 0 ? 1 : 0;
}
