#include "Codecs.h"

#include "Console.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace mirra {

bool NameIn(const char *name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (std::strcmp(name, n) == 0)
            return true;
    return false;
}

namespace {

// Wrappers around hardware encoders fail on machines without the device.
bool IsHardwareWrapper(const AVCodec *codec)
{
    static const char *const suffixes[] = {"_v4l2m2m", "_vaapi", "_qsv", "_omx", "_nvenc", "_amf", "_mf",
                                           "_videotoolbox", "_mediacodec", "_cuvid"};
    const std::string name = codec->name;
    for (const char *s : suffixes)
        if (name.find(s) != std::string::npos)
            return true;
    return (codec->capabilities & AV_CODEC_CAP_HARDWARE) != 0;
}

const AVCodec *PreferredEncoder(AVCodecID id)
{
    static const std::pair<AVCodecID, const char *> preferred[] = {
        {AV_CODEC_ID_H264, "libx264"},   {AV_CODEC_ID_MP3, "libmp3lame"}, {AV_CODEC_ID_VORBIS, "libvorbis"},
        {AV_CODEC_ID_VP8, "libvpx"},     {AV_CODEC_ID_VP9, "libvpx-vp9"}, {AV_CODEC_ID_AAC, "aac"},
        {AV_CODEC_ID_OPUS, "libopus"},   {AV_CODEC_ID_THEORA, "libtheora"}, {AV_CODEC_ID_MPEG4, "mpeg4"},
        {AV_CODEC_ID_MP2, "mp2"},        {AV_CODEC_ID_AC3, "ac3"}};
    for (const auto &[codecId, name] : preferred)
        if (codecId == id)
            if (const AVCodec *c = avcodec_find_encoder_by_name(name))
                return c;
    void *opaque = nullptr;
    while (const AVCodec *c = av_codec_iterate(&opaque)) {
        if (c->id != id || !av_codec_is_encoder(c))
            continue;
        if ((c->capabilities & AV_CODEC_CAP_EXPERIMENTAL) || IsHardwareWrapper(c))
            continue;
        return c;
    }
    return nullptr;
}

} // namespace

const AVOutputFormat *ResolveOutputFormat(const std::string &name, const std::string &path)
{
    if (!name.empty()) {
        const AVOutputFormat *format = av_guess_format(name.c_str(), nullptr, nullptr);
        if (!format)
            throw EngineError(Format("Unknown output format '%s'", name.c_str()));
        return format;
    }
    const AVOutputFormat *format = av_guess_format(nullptr, path.c_str(), nullptr);
    if (!format)
        throw EngineError(Format("Cannot tell the output format from the file name '%s'; give it with -f", path.c_str()));
    return format;
}

namespace {

// An output that keeps no byte, yet tells the muxer where it stands and lets it seek,
// as a file would.
struct NowhereSink
{
    int64_t position = 0;
    int64_t size = 0;
};

int NowhereWrite(void *opaque, uint8_t *, int size)
{
    auto *sink = static_cast<NowhereSink *>(opaque);
    sink->position += size;
    sink->size = std::max(sink->size, sink->position);
    return size;
}

int64_t NowhereSeek(void *opaque, int64_t offset, int whence)
{
    auto *sink = static_cast<NowhereSink *>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return sink->size;
    case SEEK_SET: sink->position = offset; break;
    case SEEK_CUR: sink->position += offset; break;
    case SEEK_END: sink->position = sink->size + offset; break;
    default: return AVERROR(EINVAL);
    }
    return sink->position;
}

} // namespace

bool HeaderWrites(const AVOutputFormat *format, const std::vector<const AVStream *> &streams)
{
    AVFormatContext *oc = nullptr;
    if (avformat_alloc_output_context2(&oc, format, nullptr, nullptr) < 0 || !oc)
        return false;
    bool ok = true;
    for (const AVStream *like : streams) {
        AVStream *st = avformat_new_stream(oc, nullptr);
        ok = ok && st && avcodec_parameters_copy(st->codecpar, like->codecpar) >= 0;
        if (!ok)
            break;
        st->time_base = like->time_base;
        st->disposition = like->disposition;
        st->codecpar->codec_tag = 0;
    }
    NowhereSink sink;
    unsigned char *buffer = nullptr;
    AVIOContext *pb = nullptr;
    if (ok && !(format->flags & AVFMT_NOFILE)) {
        buffer = static_cast<unsigned char *>(av_malloc(4096));
        pb = buffer ? avio_alloc_context(buffer, 4096, 1, &sink, nullptr, NowhereWrite, NowhereSeek) : nullptr;
        if (!pb) {
            av_free(buffer);
            avformat_free_context(oc);
            throw std::bad_alloc();
        }
        oc->pb = pb;
    }
    ok = ok && avformat_write_header(oc, nullptr) >= 0;
    avformat_free_context(oc);
    if (pb) {
        av_freep(&pb->buffer);
        avio_context_free(&pb);
    }
    TakeLibraryError(); // a refusal here is an answer, not a failure of the run
    return ok;
}

bool ContainerHolds(const AVOutputFormat *format, const AVStream *stream)
{
    const AVCodecID id = stream->codecpar->codec_id;
    const int answer = avformat_query_codec(format, id, FF_COMPLIANCE_NORMAL);
    if (answer == 1)
        return true;
    unsigned int tag = 0;
    if (answer == 0 && !(format->codec_tag && av_codec_get_tag2(format->codec_tag, id, &tag)))
        return false;
    return HeaderWrites(format, {stream});
}

bool ContainerTakesVideo(const AVOutputFormat *format)
{
    if (format->video_codec == AV_CODEC_ID_NONE)
        return false;
    // These hold a picture only as cover art or as a rarely played video stream.
    return !NameIn(format->name, {"mp3", "ogg", "oga", "opus", "spx", "wav", "w64", "flac", "adts", "ipod"});
}

bool ContainerTakesAudio(const AVOutputFormat *format)
{
    if (format->audio_codec == AV_CODEC_ID_NONE)
        return false;
    return !NameIn(format->name, {"gif", "apng", "image2", "webp"});
}

const AVCodec *FindEncoder(const std::string &name, AVMediaType type)
{
    static const std::pair<const char *, const char *> aliases[] = {
        {"xvid", "libxvid"},      {"x264", "libx264"},   {"h264", "libx264"},   {"avc", "libx264"},
        {"mp3", "libmp3lame"},    {"lame", "libmp3lame"}, {"vorbis", "libvorbis"}, {"vp8", "libvpx"},
        {"vp9", "libvpx-vp9"},    {"wma", "wmav2"},      {"flv1", "flv"},       {"divx", "mpeg4"},
        {"pcm", "pcm_s16le"},     {"mpeg1", "mpeg1video"}, {"mpeg2", "mpeg2video"}, {"theora", "libtheora"},
        {"opus", "libopus"},      {"sorenson", "flv"}};
    std::string wanted = name;
    for (const auto &[alias, real] : aliases)
        if (wanted == alias && avcodec_find_encoder_by_name(real))
            wanted = real;
    const AVCodec *codec = avcodec_find_encoder_by_name(wanted.c_str());
    if (!codec) {
        if (const AVCodecDescriptor *desc = avcodec_descriptor_get_by_name(wanted.c_str()))
            codec = PreferredEncoder(desc->id);
    }
    if (!codec)
        throw EngineError(Format("Unknown encoder '%s'", name.c_str()));
    if (codec->type != type)
        throw EngineError(Format("Encoder '%s' is not a%s encoder", name.c_str(),
                                 type == AVMEDIA_TYPE_VIDEO ? " video" : "n audio"));
    return codec;
}

const AVCodec *DefaultEncoder(const AVOutputFormat *format, AVMediaType type)
{
    const bool video = type == AVMEDIA_TYPE_VIDEO;
    AVCodecID id = video ? format->video_codec : format->audio_codec;
    if (video && NameIn(format->name, {"asf", "asf_stream"}))
        id = AV_CODEC_ID_WMV2;
    if (NameIn(format->name, {"webm"}))
        id = video ? AV_CODEC_ID_VP8 : AV_CODEC_ID_VORBIS;
    if (const AVCodec *codec = PreferredEncoder(id))
        return codec;
    // The container's own choice has no encoder here (AMR in 3GP): take the first
    // common codec the container is known to hold.
    static const AVCodecID videoFallbacks[] = {AV_CODEC_ID_H264, AV_CODEC_ID_MPEG4, AV_CODEC_ID_VP8,
                                               AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MJPEG};
    static const AVCodecID audioFallbacks[] = {AV_CODEC_ID_AAC, AV_CODEC_ID_MP3, AV_CODEC_ID_VORBIS,
                                               AV_CODEC_ID_MP2, AV_CODEC_ID_AC3, AV_CODEC_ID_PCM_S16LE};
    const AVCodecID *list = video ? videoFallbacks : audioFallbacks;
    const size_t count = video ? std::size(videoFallbacks) : std::size(audioFallbacks);
    for (size_t i = 0; i < count; ++i) {
        if (avformat_query_codec(format, list[i], FF_COMPLIANCE_NORMAL) != 1)
            continue;
        if (const AVCodec *codec = PreferredEncoder(list[i]))
            return codec;
    }
    return nullptr;
}

const AVCodec *FallbackEncoder(const AVOutputFormat *format, AVMediaType type, const std::string &named)
{
    if (!named.empty())
        return FindEncoder(named, type);
    const AVCodecID usual = type == AVMEDIA_TYPE_VIDEO ? AV_CODEC_ID_H264 : AV_CODEC_ID_AAC;
    if (avformat_query_codec(format, usual, FF_COMPLIANCE_NORMAL) == 1)
        if (const AVCodec *codec = PreferredEncoder(usual))
            return codec;
    return DefaultEncoder(format, type);
}

AVPixelFormat PickPixelFormat(const AVCodec *encoder, AVPixelFormat source, const std::string &requested)
{
    const AVPixelFormat *list = encoder->pix_fmts;
    auto listed = [list](AVPixelFormat f) {
        for (const AVPixelFormat *p = list; p && *p != AV_PIX_FMT_NONE; ++p)
            if (*p == f)
                return true;
        return false;
    };
    if (!requested.empty()) {
        const AVPixelFormat f = av_get_pix_fmt(requested.c_str());
        if (f == AV_PIX_FMT_NONE)
            throw EngineError(Format("Unknown pixel format '%s'", requested.c_str()));
        if (list && !listed(f))
            throw EngineError(Format("Encoder '%s' cannot take pixel format '%s'", encoder->name, requested.c_str()));
        return f;
    }
    if (encoder->id == AV_CODEC_ID_GIF)
        return AV_PIX_FMT_PAL8;
    if (!list)
        return source != AV_PIX_FMT_NONE ? source : AV_PIX_FMT_YUV420P;
    // 4:2:0 is what players open everywhere, whatever the source had.
    if (listed(AV_PIX_FMT_YUV420P))
        return AV_PIX_FMT_YUV420P;
    if (source != AV_PIX_FMT_NONE && listed(source))
        return source;
    return avcodec_find_best_pix_fmt_of_list(list, source != AV_PIX_FMT_NONE ? source : AV_PIX_FMT_YUV420P, 0, nullptr);
}

AVSampleFormat PickSampleFormat(const AVCodec *encoder, AVSampleFormat source)
{
    const AVSampleFormat *list = encoder->sample_fmts;
    if (!list || *list == AV_SAMPLE_FMT_NONE)
        return source != AV_SAMPLE_FMT_NONE ? source : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat *p = list; *p != AV_SAMPLE_FMT_NONE; ++p)
        if (*p == source)
            return source;
    return list[0];
}

int PickSampleRate(const AVCodec *encoder, const AVOutputFormat *format, int wanted)
{
    std::vector<int> allowed;
    for (const int *p = encoder->supported_samplerates; p && *p; ++p)
        allowed.push_back(*p);
    // FLV's header has a two-bit rate field; only AAC and Speex escape it.
    if (NameIn(format->name, {"flv"}) && encoder->id != AV_CODEC_ID_AAC && encoder->id != AV_CODEC_ID_SPEEX) {
        std::vector<int> flv;
        for (int r : {44100, 22050, 11025})
            if (allowed.empty() || std::find(allowed.begin(), allowed.end(), r) != allowed.end())
                flv.push_back(r);
        allowed = flv;
    }
    if ((encoder->id == AV_CODEC_ID_WMAV1 || encoder->id == AV_CODEC_ID_WMAV2) && wanted > 48000)
        return 48000;
    if (allowed.empty())
        return wanted;
    int best = allowed.front();
    for (int r : allowed) {
        if (r == wanted)
            return r;
        const int d = std::abs(r - wanted), bd = std::abs(best - wanted);
        if (d < bd || (d == bd && r > best))
            best = r;
    }
    return best;
}

void PickChannelLayout(const AVCodec *encoder, int wantedChannels, AVChannelLayout *layout)
{
    const AVChannelLayout *list = encoder->ch_layouts;
    if (list && list[0].nb_channels > 0) {
        const AVChannelLayout *best = nullptr;
        for (const AVChannelLayout *p = list; p->nb_channels > 0; ++p) {
            if (p->nb_channels == wantedChannels) {
                best = p;
                break;
            }
            if (p->nb_channels < wantedChannels && (!best || p->nb_channels > best->nb_channels))
                best = p;
        }
        av_channel_layout_copy(layout, best ? best : &list[0]);
        return;
    }
    int channels = wantedChannels;
    if (encoder->id == AV_CODEC_ID_WMAV1 || encoder->id == AV_CODEC_ID_WMAV2)
        channels = std::min(channels, 2);
    av_channel_layout_default(layout, channels);
}

AVRational PickFrameRate(const AVCodec *encoder, AVRational wanted)
{
    if (encoder->id == AV_CODEC_ID_MPEG1VIDEO || encoder->id == AV_CODEC_ID_MPEG2VIDEO) {
        // The encoder's list goes on with rates only some decoders know; players expect these.
        static const AVRational standard[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1},
                                              {50, 1},       {60000, 1001}, {60, 1}, {0, 0}};
        return standard[av_find_nearest_q_idx(wanted, standard)];
    }
    if (encoder->supported_framerates) {
        const int i = av_find_nearest_q_idx(wanted, encoder->supported_framerates);
        return encoder->supported_framerates[i];
    }
    // Most encoders take the frame rate's inverse as their time base, which several
    // bitstreams store in 16 bits.
    if (wanted.den > 65535 || wanted.num > 65535) {
        AVRational r;
        av_reduce(&r.num, &r.den, wanted.num, wanted.den, 65535);
        return r;
    }
    return wanted;
}

bool IsH263Size(int width, int height)
{
    static const int sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
    for (const auto &s : sizes)
        if (s[0] == width && s[1] == height)
            return true;
    return false;
}

void NearestH263Size(int &width, int &height)
{
    static const int sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
    int best = 0;
    for (int i = 1; i < 5; ++i)
        if (std::abs(sizes[i][0] - width) + std::abs(sizes[i][1] - height) <
            std::abs(sizes[best][0] - width) + std::abs(sizes[best][1] - height))
            best = i;
    width = sizes[best][0];
    height = sizes[best][1];
}

int FitH264Level(int requested, int width, int height, AVRational frameRate, int64_t bitRate)
{
    struct Level
    {
        int idc;
        int64_t maxMbPerSec;
        int64_t maxFrameMbs;
        int64_t maxKbps; // Baseline/Main; High allows a quarter more
    };
    static const Level levels[] = {
        {10, 1485, 99, 64},          {11, 3000, 396, 192},         {12, 6000, 396, 384},
        {13, 11880, 396, 768},       {20, 11880, 396, 2000},       {21, 19800, 792, 4000},
        {22, 20250, 1620, 4000},     {30, 40500, 1620, 10000},     {31, 108000, 3600, 14000},
        {32, 216000, 5120, 20000},   {40, 245760, 8192, 20000},    {41, 245760, 8192, 50000},
        {42, 522240, 8704, 50000},   {50, 589824, 22080, 135000},  {51, 983040, 36864, 240000},
        {52, 2073600, 36864, 240000}, {60, 4177920, 139264, 240000}, {61, 8355840, 139264, 480000},
        {62, 16711680, 139264, 800000}};
    const int64_t mbW = (width + 15) / 16, mbH = (height + 15) / 16;
    const int64_t frameMbs = mbW * mbH;
    const double fps = frameRate.num > 0 && frameRate.den > 0 ? av_q2d(frameRate) : 25.0;
    auto fits = [&](const Level &l) {
        const double side = std::sqrt(8.0 * double(l.maxFrameMbs));
        return frameMbs <= l.maxFrameMbs && double(mbW) <= side && double(mbH) <= side &&
               double(frameMbs) * fps <= double(l.maxMbPerSec) + 0.5 &&
               (bitRate <= 0 || bitRate <= l.maxKbps * 1250);
    };
    for (const Level &l : levels)
        if (l.idc == requested && fits(l))
            return requested;
    for (const Level &l : levels)
        if (fits(l))
            return l.idc;
    return -1;
}

bool UsesMpegQuantiser(const AVCodec *encoder)
{
    switch (encoder->id) {
    case AV_CODEC_ID_MPEG4:
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
    case AV_CODEC_ID_H263:
    case AV_CODEC_ID_H263P:
    case AV_CODEC_ID_FLV1:
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_WMV1:
    case AV_CODEC_ID_WMV2:
        return true;
    default:
        return false;
    }
}

int64_t DefaultVideoBitRate(int width, int height, AVRational frameRate)
{
    const double fps = frameRate.num > 0 && frameRate.den > 0 ? av_q2d(frameRate) : 25.0;
    const double bits = double(width) * height * fps * 0.15;
    return int64_t(std::clamp(bits, 300000.0, 20000000.0));
}

int64_t FitAudioBitRate(const AVCodec *encoder, int sampleRate, int64_t bitRate)
{
    if (encoder->id != AV_CODEC_ID_MP2 || bitRate <= 0)
        return bitRate;
    // MPEG audio layer II takes only the rates of its table; the lower sample rates
    // have a table of their own.
    static const int full[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    static const int low[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    const int *table = sampleRate >= 32000 ? full : low;
    int64_t best = table[0] * 1000LL;
    for (int i = 0; i < 14; ++i)
        if (std::llabs(table[i] * 1000LL - bitRate) < std::llabs(best - bitRate))
            best = table[i] * 1000LL;
    return best;
}

int64_t DefaultAudioBitRate(const AVCodec *encoder, int channels)
{
    const AVCodecDescriptor *desc = avcodec_descriptor_get(encoder->id);
    if (desc && (desc->props & AV_CODEC_PROP_LOSSLESS))
        return 0;
    const int64_t perChannel = (encoder->id == AV_CODEC_ID_MP2 || encoder->id == AV_CODEC_ID_AC3) ? 96000 : 64000;
    int64_t rate = perChannel * std::clamp(channels, 1, 6);
    if (encoder->id == AV_CODEC_ID_MP3)
        rate = std::min<int64_t>(rate, 320000);
    if (encoder->id == AV_CODEC_ID_MP2)
        rate = std::min<int64_t>(rate, 384000);
    return rate;
}

} // namespace mirra
