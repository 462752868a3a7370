#pragma once

#include <cstdint>
#include <cstdio>

struct MenuPage;

// The music player: one Ogg Vorbis file of the music folder streamed through
// the 128 KB file window and the music stream into the looping music buffer
// "M", about 1.49 s ahead of playback. Which file plays is chosen by the
// radio: channels of weighted tracks kept in radio.rad in the music folder.

// --- Player state ------------------------------------------------------------------

extern FILE *MusicFile;
extern uint32_t MusicFileSize;
extern uint32_t MusicBytesRead;       // bytes of the file read into the window so far
extern uint32_t MusicBytesConsumed;   // bytes of the file taken by the decoder so far
extern uint32_t MusicReadPointer;     // the decoder's position in the window (bytes)
extern uint32_t MusicRingWrite;       // frames, 0..65,535
extern uint32_t MusicLastPlayStep;    // frames, a multiple of 4,096
extern uint32_t SelectedMusicPlaying; // 1 while a file the user chose plays
extern uint32_t MusicContext;         // 0 in the menus, non-zero in a game session

// --- Radio state -------------------------------------------------------------------

constexpr int RadioChannelLimit = 8;
constexpr int RadioTrackLimit = 64;
constexpr int RadioChannelNameBytes = 32;
constexpr int RadioTrackNameBytes = 40;
constexpr int RadioFileVersion = 246;
constexpr int RadioLongNameVersion = 232;   // files below it have 24-byte names
constexpr int RadioOldNameBytes = 24;

struct RadioChannel {
    char name[RadioChannelNameBytes];
};
struct RadioTrack {
    char name[RadioTrackNameBytes];          // the file name without ".ogg"
    uint8_t weights[RadioChannelLimit];      // 0..3 per channel
};

extern RadioChannel RadioChannels[RadioChannelLimit];   // 0 is the setup channel
extern RadioTrack RadioTracks[RadioTrackLimit];
extern int RadioChannelCount;
extern int RadioTrackCount;
extern int RadioCurrentTrack;                           // -1 none
extern int RadioHistory[RadioTrackLimit];               // oldest first
extern int RadioHistoryCount;
extern uint32_t RadioStopRequest;

// --- Player ---------------------------------------------------------------------

// Plays the music folder's file of that name (while sound is on); 1 when
// its stream opened and it plays.
int PlayMusicFile(const char *name);
// Closes the file; with `rewind` set and the music buffer running, the buffer
// also stops and goes back to its start, and sound leaves the music-playing
// state (2 -> 1).
void StopMusic(int rewind);
// Refills the part of the ring the play cursor has left, once per new
// 4,096-frame step of the play cursor; once per main-loop pass while sound is
// on and the music buffer plays.
void UpdateMusicBuffer();
// Decodes into the ring (whose memory starts `ringBytes` back from the
// locked pointer's ring write position) up to the play step.
void DecodeMusic(uint32_t playStep, void *locked);
// Moves the unread part of the window to its start and refills its end.
void SlideMusicWindow();

// --- Radio ---------------------------------------------------------------------

// The menu screens' per-frame call: runs the radio and stops the buffer when
// the open file ended with no next file.
void UpdateMusic(int skip);
void RunRadio(int skip);
void SetMusicContext(int value);
void SetMusicChannel(int channel);
// No channel: the radio stops its track at the next step.
void ClearMusicChannel();
// radio.rad in the music folder; 1 when read (or written). A file with more
// channels or tracks than the tables hold is refused with the load-file
// error line and the tables stay as they were.
int ReadRadioFile();
int WriteRadioFile(MenuPage *page);
