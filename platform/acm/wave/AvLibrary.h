// libavcodec and libavformat, loaded when a compressed WAVE format is first
// decoded. Linking them outright would pull some hundred shared libraries
// into every start of the program for a codec most runs never use.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace acm {

struct AvLibrary {
    decltype(&avcodec_find_decoder) find_decoder;
    decltype(&avcodec_alloc_context3) alloc_context3;
    decltype(&avcodec_open2) open2;
    decltype(&avcodec_free_context) free_context;
    decltype(&avcodec_send_packet) send_packet;
    decltype(&avcodec_receive_frame) receive_frame;
    decltype(&avcodec_flush_buffers) flush_buffers;
    decltype(&av_packet_alloc) packet_alloc;
    decltype(&av_packet_free) packet_free;
    decltype(&av_frame_alloc) frame_alloc;
    decltype(&av_frame_free) frame_free;
    decltype(&av_frame_unref) frame_unref;
    decltype(&av_channel_layout_default) channel_layout_default;
    decltype(&av_mallocz) mallocz;
    decltype(&av_sample_fmt_is_planar) sample_fmt_is_planar;
    decltype(&av_get_packed_sample_fmt) get_packed_sample_fmt;
    decltype(&avformat_get_riff_audio_tags) get_riff_audio_tags;
    decltype(&av_codec_get_id) codec_get_id;
};

// The loaded libraries, or null when they are not installed. Every caller
// checks: a distribution upgrade that renames them, or a broken install,
// must cost the compressed formats only, never the program.
const AvLibrary* Av();

// Replaces how the libraries are found (null: the installed ones), so that
// tests can see the program as it runs where they are missing.
using AvLoader = const AvLibrary* (*)();
void SetAvLoader(AvLoader loader);

}  // namespace acm
