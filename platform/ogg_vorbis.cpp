#include "platform/ogg_vorbis.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>

struct OggVorbisStates {
    ogg_sync_state sync;
    ogg_stream_state stream;
    ogg_page page;
    ogg_packet packet;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
};

OggVorbisStates *CreateOggVorbisStates()
{
    return new OggVorbisStates{};
}

void DestroyOggVorbisStates(OggVorbisStates *states)
{
    delete states;
}

void OggSyncInit(OggVorbisStates *states)
{
    ogg_sync_init(&states->sync);
}

char *OggSyncBuffer(OggVorbisStates *states, long size)
{
    return ogg_sync_buffer(&states->sync, size);
}

int OggSyncWrote(OggVorbisStates *states, long bytes)
{
    return ogg_sync_wrote(&states->sync, bytes);
}

int OggSyncPageout(OggVorbisStates *states)
{
    return ogg_sync_pageout(&states->sync, &states->page);
}

int OggPageSerialno(OggVorbisStates *states)
{
    return ogg_page_serialno(&states->page);
}

int OggPageEos(OggVorbisStates *states)
{
    return ogg_page_eos(&states->page);
}

int OggStreamInit(OggVorbisStates *states, int serial)
{
    return ogg_stream_init(&states->stream, serial);
}

int OggStreamPagein(OggVorbisStates *states)
{
    return ogg_stream_pagein(&states->stream, &states->page);
}

int OggStreamPacketout(OggVorbisStates *states)
{
    return ogg_stream_packetout(&states->stream, &states->packet);
}

void OggStreamClear(OggVorbisStates *states)
{
    ogg_stream_clear(&states->stream);
}

void OggSyncClear(OggVorbisStates *states)
{
    ogg_sync_clear(&states->sync);
}

void VorbisInfoInit(OggVorbisStates *states)
{
    vorbis_info_init(&states->info);
}

void VorbisCommentInit(OggVorbisStates *states)
{
    vorbis_comment_init(&states->comment);
}

int VorbisSynthesisHeaderin(OggVorbisStates *states)
{
    return vorbis_synthesis_headerin(&states->info, &states->comment, &states->packet);
}

int VorbisSynthesisInit(OggVorbisStates *states)
{
    return vorbis_synthesis_init(&states->dsp, &states->info);
}

int VorbisBlockInit(OggVorbisStates *states)
{
    return vorbis_block_init(&states->dsp, &states->block);
}

int VorbisSynthesis(OggVorbisStates *states)
{
    return vorbis_synthesis(&states->block, &states->packet);
}

int VorbisSynthesisBlockin(OggVorbisStates *states)
{
    return vorbis_synthesis_blockin(&states->dsp, &states->block);
}

int VorbisSynthesisPcmout(OggVorbisStates *states, float ***pcm)
{
    return vorbis_synthesis_pcmout(&states->dsp, pcm);
}

int VorbisSynthesisRead(OggVorbisStates *states, int frames)
{
    return vorbis_synthesis_read(&states->dsp, frames);
}

void VorbisBlockClear(OggVorbisStates *states)
{
    vorbis_block_clear(&states->block);
}

void VorbisDspClear(OggVorbisStates *states)
{
    vorbis_dsp_clear(&states->dsp);
}

void VorbisCommentClear(OggVorbisStates *states)
{
    vorbis_comment_clear(&states->comment);
}

void VorbisInfoClear(OggVorbisStates *states)
{
    vorbis_info_clear(&states->info);
}

int VorbisChannels(const OggVorbisStates *states)
{
    return states->info.channels;
}

long VorbisRate(const OggVorbisStates *states)
{
    return states->info.rate;
}

int VorbisCommentCount(const OggVorbisStates *states)
{
    return states->comment.user_comments != nullptr ? states->comment.comments : 0;
}

const char *VorbisCommentText(const OggVorbisStates *states, int index)
{
    if (index < 0 || index >= VorbisCommentCount(states)) {
        return "";
    }
    const char *text = states->comment.user_comments[index];
    return text != nullptr ? text : "";
}
