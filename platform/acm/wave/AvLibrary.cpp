#include "platform/acm/wave/AvLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <string>

namespace acm {
namespace {

template <typename T>
bool Bind(void* lib, const char* name, T& slot) {
    slot = reinterpret_cast<T>(dlsym(lib, name));
    return slot != nullptr;
}

const AvLibrary* Load() {
    // The sonames of the versions we were built against.
    const std::string util = "libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR);
    const std::string codec = "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR);
    const std::string format = "libavformat.so." + std::to_string(LIBAVFORMAT_VERSION_MAJOR);
    void* u = dlopen(util.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* c = dlopen(codec.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* f = dlopen(format.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!u || !c || !f) return nullptr;
    static AvLibrary av;
    const bool ok = Bind(c, "avcodec_find_decoder", av.find_decoder) &&
                    Bind(c, "avcodec_alloc_context3", av.alloc_context3) && Bind(c, "avcodec_open2", av.open2) &&
                    Bind(c, "avcodec_free_context", av.free_context) &&
                    Bind(c, "avcodec_send_packet", av.send_packet) &&
                    Bind(c, "avcodec_receive_frame", av.receive_frame) &&
                    Bind(c, "avcodec_flush_buffers", av.flush_buffers) && Bind(c, "av_packet_alloc", av.packet_alloc) &&
                    Bind(c, "av_packet_free", av.packet_free) && Bind(u, "av_frame_alloc", av.frame_alloc) &&
                    Bind(u, "av_frame_free", av.frame_free) && Bind(u, "av_frame_unref", av.frame_unref) &&
                    Bind(u, "av_channel_layout_default", av.channel_layout_default) &&
                    Bind(u, "av_mallocz", av.mallocz) && Bind(u, "av_sample_fmt_is_planar", av.sample_fmt_is_planar) &&
                    Bind(u, "av_get_packed_sample_fmt", av.get_packed_sample_fmt) &&
                    Bind(f, "avformat_get_riff_audio_tags", av.get_riff_audio_tags) &&
                    Bind(f, "av_codec_get_id", av.codec_get_id);
    if (!ok) return nullptr;
    // Damaged input is ours to handle; the decoder's complaints about it
    // would only clutter a terminal.
    decltype(&av_log_set_level) setLevel = nullptr;
    if (Bind(u, "av_log_set_level", setLevel)) setLevel(AV_LOG_QUIET);
    return &av;
}

std::atomic<AvLoader> g_loader{nullptr};

}  // namespace

const AvLibrary* Av() {
    if (const AvLoader loader = g_loader.load()) return loader();
    static const AvLibrary* av = Load();
    return av;
}

void SetAvLoader(AvLoader loader) { g_loader.store(loader); }

}  // namespace acm
