#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The Ogg framing and Vorbis synthesis libraries, one call per library call,
// on one set of states: the sync, stream, page and packet states of the
// framing layer and the info, comment, DSP and block states of the
// synthesis. The decoder above keeps its own order of calls and decides
// which states to clear; these only pass the calls on.
struct OggVorbisStates;

// A zeroed set of states, and its freeing (which clears nothing: the owner
// clears the states it initialised first).
OggVorbisStates *CreateOggVorbisStates();
void DestroyOggVorbisStates(OggVorbisStates *states);

// The framing layer.
void OggSyncInit(OggVorbisStates *states);
char *OggSyncBuffer(OggVorbisStates *states, long size);
int OggSyncWrote(OggVorbisStates *states, long bytes);
int OggSyncPageout(OggVorbisStates *states);
int OggPageSerialno(OggVorbisStates *states);
int OggPageEos(OggVorbisStates *states);
int OggStreamInit(OggVorbisStates *states, int serial);
int OggStreamPagein(OggVorbisStates *states);
int OggStreamPacketout(OggVorbisStates *states);
void OggStreamClear(OggVorbisStates *states);
void OggSyncClear(OggVorbisStates *states);

// The synthesis.
void VorbisInfoInit(OggVorbisStates *states);
void VorbisCommentInit(OggVorbisStates *states);
int VorbisSynthesisHeaderin(OggVorbisStates *states);
int VorbisSynthesisInit(OggVorbisStates *states);
int VorbisBlockInit(OggVorbisStates *states);
int VorbisSynthesis(OggVorbisStates *states);
int VorbisSynthesisBlockin(OggVorbisStates *states);
int VorbisSynthesisPcmout(OggVorbisStates *states, float ***pcm);
int VorbisSynthesisRead(OggVorbisStates *states, int frames);
void VorbisBlockClear(OggVorbisStates *states);
void VorbisDspClear(OggVorbisStates *states);
void VorbisCommentClear(OggVorbisStates *states);
void VorbisInfoClear(OggVorbisStates *states);
// The stream's channel count and rate from the info state, and its user
// comments from the comment state.
int VorbisChannels(const OggVorbisStates *states);
long VorbisRate(const OggVorbisStates *states);
int VorbisCommentCount(const OggVorbisStates *states);
const char *VorbisCommentText(const OggVorbisStates *states, int index);

// --- Encoding (the data generator and the tests) ------------------------------------

// An Ogg Vorbis file image of interleaved float frames (-1..1) at the given
// rate and variable-bit-rate quality (-0.1..1), with the user comments
// ("KEY=value") in its comment header. Empty on an encoder failure.
std::vector<uint8_t> EncodeOggVorbis(const float *samples, int frames, int channels, int rate, float quality,
                                     const std::vector<std::string> &comments, int serial);
// An Ogg stream image of the given packets, one page each, the last marked
// as the end of the stream.
std::vector<uint8_t> EncodeOggPackets(const std::vector<std::vector<uint8_t>> &packets, int serial);
// Writes the checksum of the Ogg page at `page` (header and body lengths as
// its header gives them) into the page.
void SetOggPageChecksum(uint8_t *page, long headerBytes, long bodyBytes);
