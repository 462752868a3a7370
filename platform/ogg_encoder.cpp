#include <cstring>

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include "platform/ogg_vorbis.h"

namespace {

void AppendPage(std::vector<uint8_t> &out, const ogg_page &page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

}  // namespace

std::vector<uint8_t> EncodeOggVorbis(const float *samples, int frames, int channels, int rate, float quality,
                                     const std::vector<std::string> &comments, int serial)
{
    std::vector<uint8_t> out;
    if (channels < 1 || frames < 0 || rate < 1) {
        return out;
    }
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    for (const std::string &text : comments) {
        vorbis_comment_add(&comment, text.c_str());
    }
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    ogg_packet header;
    ogg_packet commentHeader;
    ogg_packet codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    // The first header packet alone on the first page, the others after it.
    while (ogg_stream_flush(&stream, &page) != 0) {
        AppendPage(out, page);
    }
    constexpr int Chunk = 1024;
    int done = 0;
    bool ended = false;
    while (!ended) {
        const int count = frames - done < Chunk ? frames - done : Chunk;
        float **buffer = vorbis_analysis_buffer(&dsp, Chunk);
        for (int i = 0; i < count; ++i) {
            for (int c = 0; c < channels; ++c) {
                buffer[c][i] = samples[static_cast<size_t>(done + i) * channels + c];
            }
        }
        vorbis_analysis_wrote(&dsp, count);
        done += count;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    AppendPage(out, page);
                    if (ogg_page_eos(&page)) {
                        ended = true;
                    }
                }
            }
        }
        if (count == 0 && !ended) {
            // The end was written: flush what is left.
            while (ogg_stream_flush(&stream, &page) != 0) {
                AppendPage(out, page);
            }
            ended = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

std::vector<uint8_t> EncodeOggPackets(const std::vector<std::vector<uint8_t>> &packets, int serial)
{
    std::vector<uint8_t> out;
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    for (size_t i = 0; i < packets.size(); ++i) {
        ogg_packet packet{};
        packet.packet = const_cast<unsigned char *>(packets[i].data());
        packet.bytes = static_cast<long>(packets[i].size());
        packet.b_o_s = i == 0 ? 1 : 0;
        packet.e_o_s = i + 1 == packets.size() ? 1 : 0;
        packet.granulepos = static_cast<ogg_int64_t>(i);
        packet.packetno = static_cast<ogg_int64_t>(i);
        ogg_stream_packetin(&stream, &packet);
        ogg_page page;
        while (ogg_stream_flush(&stream, &page) != 0) {
            AppendPage(out, page);
        }
    }
    ogg_stream_clear(&stream);
    return out;
}

void SetOggPageChecksum(uint8_t *page, long headerBytes, long bodyBytes)
{
    ogg_page view{};
    view.header = page;
    view.header_len = headerBytes;
    view.body = page + headerBytes;
    view.body_len = bodyBytes;
    ogg_page_checksum_set(&view);
}
