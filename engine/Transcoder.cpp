#include "Transcoder.h"

#include "Codecs.h"
#include "Console.h"
#include "Describe.h"
#include "Geometry.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/hwcontext.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace mirra {

struct Transcoder::Stream
{
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    InputFile *input = nullptr;
    AVStream *inStream = nullptr;
    AVStream *outStream = nullptr;
    bool copy = false;
    bool copyStarted = false;
    bool fallback = false;       // a copy the container cannot hold, encoded instead
    std::string encoderName;     // empty: the container's own encoder
    const AVCodec *encoderCodec = nullptr;
    CodecContextPtr decoder;
    CodecContextPtr encoder;
    FilterGraphPtr graph;
    AVFilterContext *source = nullptr;
    AVFilterContext *sink = nullptr;
    BufferRefPtr hwDevice; // the graphics card a hardware encoder works on
    VideoSource videoSource;
    VideoLayout layout;
    AudioFormat audioSource;
    AudioFormat audioTarget;
    bool ended = false;         // takes no more input: end of its file or of the requested length
    int64_t nextPts = AV_NOPTS_VALUE; // expected timestamp of the next decoded frame (stream time base)
    int64_t graphEnd = AV_NOPTS_VALUE; // end of the last frame given to the filters (their input time base)
    int64_t tsShift = 0;        // added to the decoded timestamps to close the jumps seen so far
    int64_t lastPicture = AV_NOPTS_VALUE; // time of the last picture given to filters that keep each one's time
    int64_t lastMuxDts = AV_NOPTS_VALUE;  // decoding time of the last packet written (output time base)
    int audioOrdinal = -1;      // among the output's audio streams
    CodecContextPtr check;      // decodes the encoder's output again for a pass's observer
    std::deque<FramePtr> sent;  // pictures given to the encoder and not yet decoded back

    ~Stream()
    {
        av_channel_layout_uninit(&audioSource.layout);
        av_channel_layout_uninit(&audioTarget.layout);
    }
};

// A muxer's file that only counts: what a trial pass writes is never kept, only its size.
struct Transcoder::DiscardSink
{
    int64_t position = 0;
    int64_t size = 0;
    AVIOContext *io = nullptr;

    DiscardSink()
    {
        constexpr int kBuffer = 1 << 16;
        auto *buffer = static_cast<unsigned char *>(av_malloc(kBuffer));
        if (!buffer || !(io = avio_alloc_context(buffer, kBuffer, 1, this, nullptr, &Write, &Seek))) {
            av_free(buffer);
            throw std::bad_alloc();
        }
    }
    ~DiscardSink()
    {
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
    static int Write(void *opaque, uint8_t *, int size)
    {
        auto *sink = static_cast<DiscardSink *>(opaque);
        sink->position += size;
        sink->size = std::max(sink->size, sink->position);
        return size;
    }
    static int64_t Seek(void *opaque, int64_t offset, int whence)
    {
        auto *sink = static_cast<DiscardSink *>(opaque);
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return sink->size;
        case SEEK_SET:
            sink->position = offset;
            break;
        case SEEK_CUR:
            sink->position += offset;
            break;
        case SEEK_END:
            sink->position = sink->size + offset;
            break;
        default:
            return AVERROR(EINVAL);
        }
        return sink->position;
    }
};

namespace {

// Encoders that hand out the figures of their first pass only once they are flushed.
bool StatsAtEnd(const AVCodec *codec)
{
    const std::string name = codec->name;
    return name.rfind("libvpx", 0) == 0 || name.rfind("libaom", 0) == 0;
}

// The text subtitle encoder a container takes: SubRip where it can, else its own.
const AVCodec *SubtitleEncoderFor(const AVOutputFormat *format)
{
    for (const AVCodecID id : {AV_CODEC_ID_SUBRIP, AV_CODEC_ID_MOV_TEXT, AV_CODEC_ID_WEBVTT, AV_CODEC_ID_ASS})
        if (avformat_query_codec(format, id, FF_COMPLIANCE_NORMAL) == 1)
            if (const AVCodec *codec = avcodec_find_encoder(id))
                return codec;
    return nullptr;
}

// The average rate and the rate of the shortest interval disagree: the intervals change.
bool VariableRate(const AVStream *st)
{
    const AVRational base = st->r_frame_rate, average = st->avg_frame_rate;
    if (base.num <= 0 || base.den <= 0 || average.num <= 0 || average.den <= 0)
        return false;
    return std::abs(av_q2d(base) / av_q2d(average) - 1.0) > 0.01;
}

bool TakesPixelFormat(const AVCodec *codec, AVPixelFormat format)
{
    for (const AVPixelFormat *p = codec->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p)
        if (*p == format)
            return true;
    return false;
}

uint32_t TagOf(const std::string &fourCharacters)
{
    return MKTAG(fourCharacters[0], fourCharacters[1], fourCharacters[2], fourCharacters[3]);
}

// The profile's own encoder options, each checked by the encoder as it is set: the
// encoder's private options first (libx264's "profile" is a name, the generic one a number).
void SetEncoderOptions(AVCodecContext *enc, const AVCodec *codec,
                       const std::vector<std::pair<std::string, std::string>> &options)
{
    for (const auto &[name, value] : options) {
        int r = enc->priv_data ? av_opt_set(enc->priv_data, name.c_str(), value.c_str(), 0) : AVERROR_OPTION_NOT_FOUND;
        if (r == AVERROR_OPTION_NOT_FOUND)
            r = av_opt_set(enc, name.c_str(), value.c_str(), 0);
        const std::string option = name == "profile" ? "profile:v" : name;
        if (r == AVERROR_OPTION_NOT_FOUND)
            throw EngineError(Format("The encoder %s has no option -%s", codec->name, option.c_str()));
        if (r < 0)
            throw EngineError(Format("The encoder %s refuses -%s %s: %s", codec->name, option.c_str(), value.c_str(),
                                     ErrorText(r).c_str()));
    }
}

const char *KindName(AVMediaType type)
{
    return type == AVMEDIA_TYPE_VIDEO ? "video" : type == AVMEDIA_TYPE_AUDIO ? "audio" : "subtitles";
}

bool GeometryRequested(const OutputRequest &out)
{
    const GeometryRequest &g = out.geometry;
    return g.width || g.height || g.aspect.num || g.padTop || g.padBottom || g.padLeft || g.padRight || g.cropTop ||
           g.cropBottom || g.cropLeft || g.cropRight || out.frameRate.num || !out.pixelFormat.empty();
}

// Tag names are compared as MKV and MP4 spell them, in capitals or not.
bool KeyIn(const std::string &key, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (av_strcasecmp(key.c_str(), name) == 0)
            return true;
    return false;
}

bool SameFile(const std::string &a, const std::string &b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

Transcoder::Transcoder(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs, const PassPlan &plan)
    : m_command(command), m_plan(plan), m_out(command.output), m_inputs(inputs), m_frame(NewFrame()),
      m_filtered(NewFrame()), m_packet(NewPacket()), m_encoded(NewPacket())
{
    m_progress.SetScale(plan.scale);
}

Transcoder::~Transcoder()
{
    m_streams.clear(); // encoders and filters go before the file they write to
    if (m_sink && m_output)
        m_output->pb = nullptr; // the sink owns its context
    if (m_fileCreated && !m_finished) {
        m_output.reset();
        std::remove(m_out.path.c_str());
    }
}

void Transcoder::Run()
{
    Setup();
    ReadLoop();
    Finish();
}

// ---------------------------------------------------------------- setup

void Transcoder::Setup()
{
    const AVOutputFormat *format = ResolveOutputFormat(m_out.format, m_out.path);
    CheckOutputPath();

    AVFormatContext *oc = nullptr;
    const int r = avformat_alloc_output_context2(&oc, format, nullptr, m_out.path.c_str());
    if (r < 0 || !oc)
        throw EngineError(Format("Cannot prepare the output file '%s': %s", m_out.path.c_str(), ErrorText(r).c_str()));
    m_output.reset(oc);
    for (const auto &[name, value] : m_out.muxerOptions) {
        const int set = oc->priv_data ? av_opt_set(oc->priv_data, name.c_str(), value.c_str(), 0) : AVERROR_OPTION_NOT_FOUND;
        if (set == AVERROR_OPTION_NOT_FOUND)
            throw EngineError(Format("%s files have no option -%s", oc->oformat->name, name.c_str()));
        if (set < 0)
            throw EngineError(Format("%s files refuse -%s %s: %s", oc->oformat->name, name.c_str(), value.c_str(),
                                     ErrorText(set).c_str()));
    }

    for (const auto &[n, option] : {std::pair{m_out.metadataInput, "-map_metadata"}, {m_out.chaptersInput, "-map_chapters"}})
        if (n >= int(m_inputs.size()))
            throw EngineError(Format("%s %d names input %d, but there are %d", option, n, n, int(m_inputs.size())));
    m_readAhead.resize(m_inputs.size());
    m_streamOfInput.resize(m_inputs.size());
    for (size_t i = 0; i < m_inputs.size(); ++i)
        m_streamOfInput[i].assign(m_inputs[i]->context()->nb_streams, nullptr);
    m_inputEnded.assign(m_inputs.size(), false);
    m_inputLastUs.assign(m_inputs.size(), INT64_MIN);

    m_endUs = m_out.durationUs;
    for (const auto &in : m_inputs)
        if (in->request().limitUs && (!m_endUs || *in->request().limitUs < *m_endUs))
            m_endUs = in->request().limitUs;

    SelectStreams(format);
    ChooseCopies(format);
    for (const auto &in : m_inputs)
        if (InputWanted(in.get()))
            in->SeekToStart(m_out.startUs);

    // A stream that cannot be decoded (damaged headers, no decoder) is left out
    // when something else remains to be written.
    for (auto it = m_streams.begin(); it != m_streams.end();) {
        Stream &s = **it;
        try {
            if (!s.copy)
                OpenDecoder(s);
            ++it;
        } catch (const EngineError &e) {
            if (m_streams.size() == 1)
                throw;
            if (m_plan.announce)
                PrintLine(std::string("Note: ") + e.what() + "; the output is written without it");
            m_streamOfInput[size_t(s.input->index())][size_t(s.inStream->index)] = nullptr;
            it = m_streams.erase(it);
        }
    }
    int audioStreams = 0;
    for (auto &s : m_streams)
        if (s->type == AVMEDIA_TYPE_AUDIO)
            s->audioOrdinal = audioStreams++;
    PrepareReading();
    for (auto &s : m_streams) {
        if (s->copy)
            SetupCopy(*s, format);
        else if (s->type == AVMEDIA_TYPE_VIDEO)
            SetupVideo(*s, format);
        else if (s->type == AVMEDIA_TYPE_AUDIO)
            SetupAudio(*s, format);
        else
            SetupSubtitles(*s, format);
    }
    CopyMetadata();
    CopyChapters();
    AddCoverArt(format);

    std::vector<AVRational> rates;
    for (auto &s : m_streams)
        rates.push_back(s->type == AVMEDIA_TYPE_VIDEO ? s->outStream->avg_frame_rate : AVRational{0, 1});
    if (m_plan.announce)
        DescribeOutput(m_output.get(), rates);
    OpenOutputFile();
    WriteCoverArt();
}

void Transcoder::ChooseCopies(const AVOutputFormat *format)
{
    for (auto &stream : m_streams) {
        Stream &s = *stream;
        if (!s.copy || ContainerHolds(format, s.inStream))
            continue;
        const char *codec = avcodec_get_name(s.inStream->codecpar->codec_id);
        const std::string &named = s.type == AVMEDIA_TYPE_VIDEO ? m_out.fallbackVideoCodec : m_out.fallbackAudioCodec;
        if (named == "none")
            throw EngineError(Format("%s files cannot hold %s %s; it has to be encoded", format->name, codec,
                                     KindName(s.type)));
        const AVCodec *encoder = FallbackEncoder(format, s.type, named);
        if (!encoder)
            throw EngineError(Format("%s files cannot hold %s %s, and no encoder for them is available here",
                                     format->name, codec, KindName(s.type)));
        s.copy = false;
        s.fallback = true;
        s.encoderName = encoder->name;
        PrintLinef("Note: %s files cannot hold the %s %s of '%s'; it is encoded with %s instead of copied",
                   format->name, codec, KindName(s.type), s.input->request().path.c_str(), encoder->name);
    }
}

void Transcoder::PrepareReading()
{
    for (auto &in : m_inputs) {
        AVFormatContext *ic = in->context();
        // Files that store only decoding times (AVI with packed B-frames) get presentation
        // times from the decoding times of the packets that follow.
        if (m_out.generateTimes)
            ic->flags |= AVFMT_FLAG_GENPTS;
        // A stream nobody reads is not read: no packet of it waits for a time that never comes.
        for (unsigned i = 0; i < ic->nb_streams; ++i)
            if (!m_streamOfInput[size_t(in->index())][i])
                ic->streams[i]->discard = AVDISCARD_ALL;
    }
}

void Transcoder::CheckOutputPath()
{
    for (const auto &in : m_inputs)
        if (SameFile(in->request().path, m_out.path))
            throw EngineError(Format("The output file '%s' is the input file; choose another name", m_out.path.c_str()));
    if (!m_command.overwrite && access(m_out.path.c_str(), F_OK) == 0)
        throw EngineError(Format("File '%s' already exists; use -y to overwrite it", m_out.path.c_str()));
}

void Transcoder::SelectStreams(const AVOutputFormat *format)
{
    const bool wantVideo = !m_out.noVideo && ContainerTakesVideo(format);
    const bool wantAudio = !m_out.noAudio && ContainerTakesAudio(format);
    bool anyVideo = false, anyAudio = false;

    struct Pick
    {
        InputFile *input = nullptr;
        int stream = -1;
        int64_t score = -1;
    } video, audio;
    for (auto &in : m_inputs) {
        const int v = in->BestStream(AVMEDIA_TYPE_VIDEO);
        if (v >= 0) {
            anyVideo = true;
            const AVCodecParameters *par = in->context()->streams[v]->codecpar;
            const int64_t score = int64_t(par->width) * par->height;
            if (score > video.score)
                video = {in.get(), v, score};
        }
        const int a = in->BestStream(AVMEDIA_TYPE_AUDIO);
        if (a >= 0) {
            anyAudio = true;
            const int64_t score = in->context()->streams[a]->codecpar->ch_layout.nb_channels;
            if (score > audio.score)
                audio = {in.get(), a, score};
        }
    }
    if (!m_out.maps.empty()) {
        SelectMappedStreams(format, wantVideo, wantAudio);
    } else {
        if (wantVideo && video.input)
            AddStream(AVMEDIA_TYPE_VIDEO, video.input, video.stream);
        if (wantAudio && audio.input)
            AddStream(AVMEDIA_TYPE_AUDIO, audio.input, audio.stream);
    }
    if (!m_streams.empty())
        return;
    if (!anyVideo && !anyAudio)
        throw EngineError(Format("'%s' holds no audio or video stream", m_inputs.front()->request().path.c_str()));
    std::string why;
    if (anyVideo)
        why = m_out.noVideo ? "-vn leaves out the video" : Format("%s files cannot hold video", format->name);
    if (anyAudio)
        why += std::string(why.empty() ? "" : " and ") +
               (m_out.noAudio ? "-an leaves out the audio" : Format("%s files cannot hold audio", format->name));
    throw EngineError("Nothing to write: " + why);
}

void Transcoder::SelectMappedStreams(const AVOutputFormat *format, bool wantVideo, bool wantAudio)
{
    for (const StreamMap &map : m_out.maps) {
        if (map.input >= int(m_inputs.size()))
            throw EngineError(Format("-map %s names input %d, but there are %d", map.text.c_str(), map.input,
                                     int(m_inputs.size())));
        const AVMediaType type = map.kind == 'v' ? AVMEDIA_TYPE_VIDEO : map.kind == 'a' ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_SUBTITLE;
        // A container without subtitles of its own may still copy the ones it takes.
        if (type == AVMEDIA_TYPE_VIDEO ? !wantVideo : type == AVMEDIA_TYPE_AUDIO ? !wantAudio : false)
            continue;
        InputFile *in = m_inputs[size_t(map.input)].get();
        bool matched = false;
        int seen = 0;
        for (unsigned i = 0; i < in->context()->nb_streams; ++i) {
            const AVStream *st = in->context()->streams[i];
            if (st->codecpar->codec_type != type || st->codecpar->codec_id == AV_CODEC_ID_NONE ||
                (st->disposition & AV_DISPOSITION_ATTACHED_PIC))
                continue;
            if (map.number >= 0 && seen++ != map.number)
                continue;
            matched = true;
            if (m_streamOfInput[size_t(map.input)][i]) // a stream named twice is written once
                continue;
            if (type != AVMEDIA_TYPE_SUBTITLE) {
                AddStream(type, in, int(i));
                continue;
            }
            // Subtitles the container takes are copied; text ones it does not take become its text
            // format; pictures it does not take are left out.
            const bool fits = avformat_query_codec(format, st->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1;
            const AVCodecDescriptor *desc = avcodec_descriptor_get(st->codecpar->codec_id);
            if (!fits && (!desc || !(desc->props & AV_CODEC_PROP_TEXT_SUB) || !SubtitleEncoderFor(format))) {
                if (m_plan.announce)
                    PrintLinef("Note: the %s subtitles of '%s' cannot go into a %s file; the output is written without them",
                               avcodec_get_name(st->codecpar->codec_id), in->request().path.c_str(), format->name);
                continue;
            }
            AddStream(type, in, int(i)).copy = fits;
        }
        if (!matched && !map.optional)
            throw EngineError(Format("-map %s matches no stream of '%s'", map.text.c_str(), in->request().path.c_str()));
    }
}

Transcoder::Stream &Transcoder::AddStream(AVMediaType type, InputFile *input, int streamIndex)
{
    auto s = std::make_unique<Stream>();
    s->type = type;
    s->input = input;
    s->inStream = input->context()->streams[streamIndex];
    const std::string &codec = type == AVMEDIA_TYPE_VIDEO ? m_out.videoCodec : m_out.audioCodec;
    s->copy = type != AVMEDIA_TYPE_SUBTITLE && codec == "copy";
    if (!s->copy && type != AVMEDIA_TYPE_SUBTITLE)
        s->encoderName = codec;
    m_streamOfInput[size_t(input->index())][size_t(streamIndex)] = s.get();
    m_streams.push_back(std::move(s));
    return *m_streams.back();
}

void Transcoder::OpenDecoder(Stream &s)
{
    const AVCodecParameters *par = s.inStream->codecpar;
    const AVCodec *codec = avcodec_find_decoder(par->codec_id);
    if (!codec)
        throw EngineError(Format("No decoder for the %s of '%s' (codec %s)", KindName(s.type),
                                 s.input->request().path.c_str(), avcodec_get_name(par->codec_id)));
    s.decoder.reset(avcodec_alloc_context3(codec));
    if (!s.decoder)
        throw std::bad_alloc();
    int r = avcodec_parameters_to_context(s.decoder.get(), par);
    if (r >= 0) {
        s.decoder->pkt_timebase = s.inStream->time_base;
        s.decoder->thread_count = m_command.threads;
        s.decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        r = avcodec_open2(s.decoder.get(), codec, nullptr);
    }
    if (r < 0)
        throw EngineError(Format("Cannot decode the %s of '%s': %s", KindName(s.type), s.input->request().path.c_str(),
                                 ErrorText(r).c_str()));
}

void Transcoder::SetupVideo(Stream &s, const AVOutputFormat *format)
{
    AVCodecContext *dec = s.decoder.get();
    if (dec->width <= 0 || dec->height <= 0)
        throw EngineError(Format("Cannot tell the picture size of the video in '%s'; the file may be damaged",
                                 s.input->request().path.c_str()));
    // A damaged start can hide the pixel format; the filters are rebuilt when the
    // first picture shows the real one.
    if (dec->pix_fmt == AV_PIX_FMT_NONE)
        dec->pix_fmt = AV_PIX_FMT_YUV420P;

    const AVCodec *codec =
        s.encoderName.empty() ? DefaultEncoder(format, AVMEDIA_TYPE_VIDEO) : FindEncoder(s.encoderName, AVMEDIA_TYPE_VIDEO);
    if (!codec)
        throw EngineError(Format("No video encoder available for a %s file", format->name));
    if (avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL) == 0)
        throw EngineError(Format("%s files cannot hold %s video", format->name, avcodec_get_name(codec->id)));
    s.encoderCodec = codec;

    AVRational rate = m_out.frameRate;
    if (rate.num <= 0) {
        rate = av_guess_frame_rate(s.input->context(), s.inStream, nullptr);
        if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 240)
            rate = AVRational{25, 1};
    }
    rate = PickFrameRate(codec, rate);

    PlanVideo(s, format, rate);
    BuildVideoGraph(s);
    OpenVideoEncoder(s, rate);

    AVStream *st = avformat_new_stream(m_output.get(), nullptr);
    if (!st || avcodec_parameters_from_context(st->codecpar, s.encoder.get()) < 0)
        throw std::bad_alloc();
    st->time_base = s.encoder->time_base;
    if (!m_out.videoTag.empty() && !s.fallback) // the tag names the codec that was to be copied
        st->codecpar->codec_tag = TagOf(m_out.videoTag);
    st->avg_frame_rate = rate;
    st->sample_aspect_ratio = s.encoder->sample_aspect_ratio;
    s.outStream = st;
}

void Transcoder::PlanVideo(Stream &s, const AVOutputFormat *format, AVRational rate)
{
    const AVCodecContext *dec = s.decoder.get();
    const AVCodec *codec = s.encoderCodec;
    VideoSource &src = s.videoSource;
    src.width = dec->width;
    src.height = dec->height;
    src.format = dec->pix_fmt;
    src.sampleAspect = s.inStream->sample_aspect_ratio.num > 0 ? s.inStream->sample_aspect_ratio : dec->sample_aspect_ratio;
    src.timeBase = s.inStream->time_base;
    src.frameRate = rate;
    src.rotation = RotationOf(reinterpret_cast<const int32_t *>(
        av_stream_get_side_data(s.inStream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)));
    const AVRational uprightAspect = src.Turned() && src.sampleAspect.num > 0
                                         ? AVRational{src.sampleAspect.den, src.sampleAspect.num}
                                         : src.sampleAspect;

    // A VAAPI encoder takes pictures in the card's memory: the filters end by uploading them.
    const bool vaapi = TakesPixelFormat(codec, AV_PIX_FMT_VAAPI);
    if (vaapi) {
        const std::string device = m_out.vaapiDevice.empty() ? "/dev/dri/renderD128" : m_out.vaapiDevice;
        AVBufferRef *context = nullptr;
        const int opened = av_hwdevice_ctx_create(&context, AV_HWDEVICE_TYPE_VAAPI, device.c_str(), nullptr, 0);
        if (opened < 0)
            throw EngineError(Format("Cannot open the VAAPI device %s for %s: %s", device.c_str(), codec->name,
                                     ErrorText(opened).c_str()));
        s.hwDevice.reset(context);
    }
    const AVPixelFormat pixelFormat = vaapi ? AV_PIX_FMT_NV12 : PickPixelFormat(codec, src.format, m_out.pixelFormat);
    s.layout = PlanVideoLayout(m_out.geometry, src.UprightWidth(), src.UprightHeight(), uprightAspect, codec,
                               pixelFormat, rate);
    s.layout.upload = vaapi;
    // A source whose pictures come at changing intervals keeps them where the container can
    // say so; elsewhere, or with -r, pictures are repeated or dropped to a constant rate.
    // MP4 and MOV do not claim it, yet hold such timing as phones write it.
    const bool variableFits = (format->flags & AVFMT_VARIABLE_FPS) || NameIn(format->name, {"mp4", "mov", "ipod"});
    s.layout.keepTiming = m_out.frameRate.num <= 0 && variableFits && VariableRate(s.inStream);
    if (!s.layout.note.empty() && m_plan.announce)
        PrintLine("Note: " + s.layout.note);
    s.layout.deinterlace = PlanFields(s);
}

VideoLayout::Deinterlace Transcoder::PlanFields(Stream &s)
{
    using D = VideoLayout::Deinterlace;
    if (m_out.deinterlace == OutputRequest::Deinterlace::Never)
        return D::None;
    if (m_out.deinterlace == OutputRequest::Deinterlace::Always)
        return D::Every;
    const AVFieldOrder order = s.inStream->codecpar->field_order;
    if (order == AV_FIELD_PROGRESSIVE)
        return D::None;
    const FieldCounts counts = ReadAheadFields(s);
    const FieldVerdict verdict = JudgeFields(order, counts);
    // The field shown first: as the stream says, else as idet saw it.
    const bool bottomFirst = InterlacedOrder(order) ? order == AV_FIELD_BB || order == AV_FIELD_TB
                                                    : counts.bottomFirst > counts.topFirst;
    switch (verdict) {
    case FieldVerdict::Telecined:
        PrintLinef("Note: the video is film with repeated fields (telecine, %d of %d pictures); its pictures are "
                   "left as they are", counts.repeated, counts.frames);
        return D::None;
    case FieldVerdict::Interlaced:
    case FieldVerdict::FlaggedOnly:
        if (InterlacedOrder(order))
            PrintLinef("Note: the video is interlaced (%s field first); it is made progressive",
                       bottomFirst ? "bottom" : "top");
        else
            PrintLinef("Note: the video is interlaced (combing in %d of %d pictures); it is made progressive",
                       counts.Interlaced(), counts.frames);
        if (verdict == FieldVerdict::FlaggedOnly)
            return D::Marked; // each picture says which of its fields comes first
        s.layout.firstField = bottomFirst ? "bff" : "tff";
        return D::Every;
    case FieldVerdict::Progressive:
        break;
    }
    return D::None;
}

// Progressive pictures say so; kept interlaced ones keep their field order where the lines stay
// where they were, and the encoders that code fields do so.
void Transcoder::SetFieldOrder(Stream &s, AVCodecContext *enc) const
{
    if (s.layout.deinterlace != VideoLayout::Deinterlace::None) {
        enc->field_order = AV_FIELD_PROGRESSIVE;
        return;
    }
    const AVFieldOrder order = s.inStream->codecpar->field_order;
    const bool linesKept = s.videoSource.rotation == 0 && s.layout.scaleHeight == s.videoSource.height &&
                           s.layout.cropTop % 2 == 0 && s.layout.padTop % 2 == 0;
    if (m_out.deinterlace != OutputRequest::Deinterlace::Never || !InterlacedOrder(order) || !linesKept)
        return;
    enc->field_order = order;
    if (s.encoderCodec->id == AV_CODEC_ID_H264 || s.encoderCodec->id == AV_CODEC_ID_MPEG2VIDEO)
        enc->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
}

FieldCounts Transcoder::ReadAheadFields(Stream &s)
{
    constexpr int kMostPackets = 3000;
    constexpr int64_t kMostBytes = 64LL << 20;
    InputFile *in = s.input;
    std::deque<PacketPtr> &queue = m_readAhead[size_t(in->index())];
    FieldCheck check(s.inStream, m_command.threads);
    bool more = true;
    int64_t bytes = 0;
    for (const PacketPtr &p : queue) { // read ahead already for another stream of the input
        bytes += p->size;
        if (more && p->stream_index == s.inStream->index)
            more = check.Feed(p.get());
    }
    int waits = 0;
    while (more && int(queue.size()) < kMostPackets && bytes < kMostBytes) {
        PacketPtr pkt = NewPacket();
        const int r = av_read_frame(in->context(), pkt.get());
        if (r == AVERROR(EAGAIN) && ++waits < 300) {
            usleep(10000);
            continue;
        }
        if (r < 0)
            break; // the conversion meets the end or the damage again when it reads on
        bytes += pkt->size;
        if (pkt->stream_index == s.inStream->index)
            more = check.Feed(pkt.get());
        queue.push_back(std::move(pkt));
    }
    TakeLibraryError();
    return check.Finish();
}

void Transcoder::OpenVideoEncoder(Stream &s, AVRational rate)
{
    const AVCodec *codec = s.encoderCodec;
    s.encoder.reset(avcodec_alloc_context3(codec));
    if (!s.encoder)
        throw std::bad_alloc();
    AVCodecContext *enc = s.encoder.get();
    enc->width = av_buffersink_get_w(s.sink);
    enc->height = av_buffersink_get_h(s.sink);
    enc->pix_fmt = AVPixelFormat(av_buffersink_get_format(s.sink));
    enc->sample_aspect_ratio = s.layout.sampleAspect.num > 0 ? s.layout.sampleAspect : av_buffersink_get_sample_aspect_ratio(s.sink);
    enc->framerate = rate;
    enc->time_base = s.layout.keepTiming ? av_buffersink_get_time_base(s.sink) : av_inv_q(rate);
    enc->thread_count = m_command.threads;
    enc->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL)
        enc->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    SetFieldOrder(s, enc);
    if (AVBufferRef *frames = av_buffersink_get_hw_frames_ctx(s.sink))
        enc->hw_frames_ctx = av_buffer_ref(frames);

    // A hardware encoder has its own rate control; the fixed tail's bounds do not apply to it.
    const bool hardware = s.layout.upload || (codec->capabilities & AV_CODEC_CAP_HARDWARE);
    SetEncoderOptions(enc, codec, m_out.videoEncoderOptions);
    AVDictionary *options = VideoRateControl(enc, codec, rate, hardware);
    if (m_plan.videoPass > 0) {
        enc->flags |= m_plan.videoPass == 1 ? AV_CODEC_FLAG_PASS1 : AV_CODEC_FLAG_PASS2;
        if (!m_plan.statsFile.empty())
            av_dict_set(&options, "stats", m_plan.statsFile.c_str(), 0);
        if (m_plan.videoPass == 2 && m_plan.stats && !m_plan.stats->empty() && !(enc->stats_in = av_strdup(m_plan.stats->c_str()))) {
            av_dict_free(&options);
            throw std::bad_alloc();
        }
    }
    const int r = avcodec_open2(enc, codec, &options);
    av_dict_free(&options);
    if (r < 0)
        throw EngineError(Format("Cannot start the video encoder %s for %dx%d %s: %s%s", codec->name, enc->width,
                                 enc->height, av_get_pix_fmt_name(enc->pix_fmt), ErrorText(r).c_str(),
                                 m_out.videoEncoderOptions.empty() || hardware ? "" : " (check its -preset, -tune and -profile:v)"));
    if (m_plan.decodeVideo)
        OpenCheckDecoder(s);
}

void Transcoder::OpenCheckDecoder(Stream &s)
{
    const AVCodecContext *enc = s.encoder.get();
    const AVCodec *codec = avcodec_find_decoder(enc->codec_id);
    if (!codec)
        throw EngineError(Format("No decoder to check what %s makes", s.encoderCodec->name));
    s.check.reset(avcodec_alloc_context3(codec));
    AVCodecParameters *par = avcodec_parameters_alloc();
    if (!s.check || !par)
        throw std::bad_alloc();
    int r = avcodec_parameters_from_context(par, enc);
    if (r >= 0)
        r = avcodec_parameters_to_context(s.check.get(), par);
    avcodec_parameters_free(&par);
    if (r >= 0) {
        s.check->pkt_timebase = enc->time_base;
        s.check->thread_count = m_command.threads;
        r = avcodec_open2(s.check.get(), codec, nullptr);
    }
    if (r < 0)
        throw EngineError(Format("Cannot decode what %s makes: %s", s.encoderCodec->name, ErrorText(r).c_str()));
}

// Bit rate or quality, quantiser bounds, key frames and level; what only the encoder's
// own options can say is returned for avcodec_open2.
AVDictionary *Transcoder::VideoRateControl(AVCodecContext *enc, const AVCodec *codec, AVRational rate, bool hardware) const
{
    AVDictionary *options = nullptr;
    const bool x264 = codec->id == AV_CODEC_ID_H264 && std::string(codec->name).rfind("libx264", 0) == 0;
    const bool vpx = std::string(codec->name).rfind("libvpx", 0) == 0;
    const bool ownQuality = m_out.OwnQualityMode() || hardware;
    if (m_out.videoBitRate > 0) {
        enc->bit_rate = m_out.videoBitRate;
    } else if (ownQuality) {
        // The encoder's constant quality: a bit rate would turn it into a cap.
    } else if (m_out.qscale > 0 && (UsesMpegQuantiser(codec) || codec->id == AV_CODEC_ID_MPEG4)) {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = int(FF_QP2LAMBDA * m_out.qscale + 0.5);
    } else if (m_out.qscale > 0 && (x264 || vpx)) {
        av_dict_set(&options, "crf", Format("%d", std::min(int(m_out.qscale + 0.5), x264 ? 51 : 63)).c_str(), 0);
    } else if (!x264) {
        const AVCodecDescriptor *desc = avcodec_descriptor_get(codec->id);
        if (!(desc && (desc->props & AV_CODEC_PROP_LOSSLESS)) && codec->id != AV_CODEC_ID_GIF)
            enc->bit_rate = DefaultVideoBitRate(enc->width, enc->height, rate);
    }
    bool ownSpeed = false;
    for (const auto &option : m_out.videoEncoderOptions)
        ownSpeed = ownSpeed || option.first == "cpu-used";
    if (vpx && !ownSpeed)
        av_dict_set(&options, "cpu-used", "4", AV_DICT_DONT_OVERWRITE);
    // x265 prints its own notices on stderr; only its errors belong among our lines.
    if (std::string(codec->name) == "libx265")
        av_dict_set(&options, "x265-params", "log-level=error", 0);

    // Quantiser bounds narrow a quality mode of the encoder's own: they are left out then.
    const int qmin = ownQuality ? -1 : m_out.qmin, qmax = ownQuality ? -1 : m_out.qmax;
    const int qlimit = UsesMpegQuantiser(codec) ? 31 : vpx ? 63 : 69;
    if (qmin >= 0)
        enc->qmin = std::clamp(qmin, UsesMpegQuantiser(codec) ? 1 : 0, qlimit);
    if (qmax >= 0)
        enc->qmax = std::clamp(qmax, UsesMpegQuantiser(codec) ? 1 : 0, qlimit);
    if (qmin >= 0 && qmax >= 0 && qmin > qmax) {
        av_dict_free(&options);
        throw EngineError(Format("-qmin %d is above -qmax %d", qmin, qmax));
    }
    if (m_out.gop >= 0)
        enc->gop_size = m_out.gop;
    if (m_out.bFrames >= 0)
        enc->max_b_frames = m_out.bFrames;
    if (m_out.level > 0 && codec->id == AV_CODEC_ID_H264 && !hardware) {
        const int level = FitH264Level(m_out.level, enc->width, enc->height, rate, enc->bit_rate);
        if (level > 0)
            enc->level = level;
    }
    return options;
}

void Transcoder::SetupAudio(Stream &s, const AVOutputFormat *format)
{
    AVCodecContext *dec = s.decoder.get();
    if (dec->sample_rate <= 0 || dec->ch_layout.nb_channels <= 0 || dec->sample_fmt == AV_SAMPLE_FMT_NONE)
        throw EngineError(Format("Cannot tell the sound format of the audio in '%s'; the file may be damaged",
                                 s.input->request().path.c_str()));

    const AVCodec *codec =
        s.encoderName.empty() ? DefaultEncoder(format, AVMEDIA_TYPE_AUDIO) : FindEncoder(s.encoderName, AVMEDIA_TYPE_AUDIO);
    if (!codec)
        throw EngineError(Format("No audio encoder available for a %s file", format->name));
    if (avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL) == 0)
        throw EngineError(Format("%s files cannot hold %s audio", format->name, avcodec_get_name(codec->id)));
    s.encoderCodec = codec;

    AudioFormat &src = s.audioSource;
    src.sampleRate = dec->sample_rate;
    src.format = dec->sample_fmt;
    NamedLayout(dec->ch_layout, &src.layout);

    AudioFormat &target = s.audioTarget;
    target.sampleRate = PickSampleRate(codec, format, m_out.sampleRate > 0 ? m_out.sampleRate : src.sampleRate);
    target.format = PickSampleFormat(codec, src.format);
    PickChannelLayout(codec, m_out.channels > 0 ? m_out.channels : src.layout.nb_channels, &target.layout);
    BuildAudioGraph(s);

    s.encoder.reset(avcodec_alloc_context3(codec));
    if (!s.encoder)
        throw std::bad_alloc();
    AVCodecContext *enc = s.encoder.get();
    enc->sample_fmt = target.format;
    enc->sample_rate = target.sampleRate;
    av_channel_layout_copy(&enc->ch_layout, &target.layout);
    enc->time_base = AVRational{1, target.sampleRate};
    enc->bit_rate = FitAudioBitRate(codec, target.sampleRate,
                                    m_out.audioBitRate > 0 ? m_out.audioBitRate
                                                           : DefaultAudioBitRate(codec, target.layout.nb_channels));
    enc->thread_count = m_command.threads;
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL)
        enc->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    const int r = avcodec_open2(enc, codec, nullptr);
    if (r < 0)
        throw EngineError(Format("Cannot start the audio encoder %s for %d Hz %d channels: %s", codec->name,
                                 target.sampleRate, target.layout.nb_channels, ErrorText(r).c_str()));
    if (enc->frame_size > 0 && !(codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
        av_buffersink_set_frame_size(s.sink, unsigned(enc->frame_size));
    if (m_plan.decodeAudio)
        OpenCheckDecoder(s);

    AVStream *st = avformat_new_stream(m_output.get(), nullptr);
    if (!st || avcodec_parameters_from_context(st->codecpar, enc) < 0)
        throw std::bad_alloc();
    st->time_base = enc->time_base;
    s.outStream = st;
}

void Transcoder::SetupSubtitles(Stream &s, const AVOutputFormat *format)
{
    const AVCodec *codec = SubtitleEncoderFor(format);
    s.encoderCodec = codec;
    s.encoder.reset(avcodec_alloc_context3(codec));
    if (!s.encoder)
        throw std::bad_alloc();
    AVCodecContext *enc = s.encoder.get();
    enc->time_base = AVRational{1, 1000};
    // The text encoders read the styles the text decoders wrote.
    const AVCodecContext *dec = s.decoder.get();
    if (dec->subtitle_header && dec->subtitle_header_size > 0) {
        enc->subtitle_header = static_cast<uint8_t *>(av_mallocz(size_t(dec->subtitle_header_size) + 1));
        if (!enc->subtitle_header)
            throw std::bad_alloc();
        std::copy(dec->subtitle_header, dec->subtitle_header + dec->subtitle_header_size, enc->subtitle_header);
        enc->subtitle_header_size = dec->subtitle_header_size;
    }
    const int r = avcodec_open2(enc, codec, nullptr);
    if (r < 0)
        throw EngineError(Format("Cannot start the subtitle encoder %s: %s", codec->name, ErrorText(r).c_str()));
    AVStream *st = avformat_new_stream(m_output.get(), nullptr);
    if (!st || avcodec_parameters_from_context(st->codecpar, enc) < 0)
        throw std::bad_alloc();
    st->time_base = enc->time_base;
    s.outStream = st;
}

void Transcoder::HandleSubtitlePacket(Stream &s, AVPacket *pkt)
{
    AVSubtitle sub{};
    int got = 0;
    if (avcodec_decode_subtitle2(s.decoder.get(), &sub, &got, pkt) < 0) {
        ++m_decodeErrors;
        TakeLibraryError();
        return;
    }
    if (!got)
        return;
    // Times from the start of the output, the shown span made to start at the packet's time.
    const int64_t showUs = (sub.pts != AV_NOPTS_VALUE ? sub.pts : 0) + int64_t(sub.start_display_time) * 1000 -
                           s.input->originUs();
    const int64_t lengthMs = int64_t(sub.end_display_time) - sub.start_display_time;
    const bool inside = showUs + lengthMs * 1000 > 0 && (!m_endUs || showUs < *m_endUs);
    sub.pts = std::max<int64_t>(showUs, 0);
    sub.end_display_time = uint32_t(std::max<int64_t>(lengthMs - (sub.pts - showUs) / 1000, 0));
    sub.start_display_time = 0;
    uint8_t buffer[1 << 16];
    const int size = inside && sub.num_rects > 0 ? avcodec_encode_subtitle(s.encoder.get(), buffer, sizeof buffer, &sub) : 0;
    const int64_t pts = sub.pts;
    const uint32_t shown = sub.end_display_time;
    avsubtitle_free(&sub);
    if (size <= 0)
        return;
    PacketPtr out = NewPacket();
    if (av_new_packet(out.get(), size) < 0)
        throw std::bad_alloc();
    std::copy(buffer, buffer + size, out->data);
    out->pts = out->dts = av_rescale_q(pts, AV_TIME_BASE_Q, s.outStream->time_base);
    out->duration = av_rescale_q(shown, AVRational{1, 1000}, s.outStream->time_base);
    WritePacket(s, out.get());
}

void Transcoder::SetupCopy(Stream &s, const AVOutputFormat *)
{
    const AVCodecParameters *par = s.inStream->codecpar;
    if (s.type == AVMEDIA_TYPE_VIDEO && GeometryRequested(m_out))
        throw EngineError("Frame size, pads, crops, aspect, frame rate and pixel format need the video to be encoded; "
                          "they cannot be used with -vcodec copy");
    if (s.type == AVMEDIA_TYPE_AUDIO && (m_out.sampleRate || m_out.channels))
        throw EngineError("-ar and -ac need the audio to be encoded; they cannot be used with -acodec copy");
    AVStream *st = avformat_new_stream(m_output.get(), nullptr);
    if (!st || avcodec_parameters_copy(st->codecpar, par) < 0)
        throw std::bad_alloc();
    // The container picks its own tag for the codec, unless one is asked for.
    st->codecpar->codec_tag = s.type == AVMEDIA_TYPE_VIDEO && !m_out.videoTag.empty() ? TagOf(m_out.videoTag) : 0;
    st->time_base = s.inStream->time_base;
    st->avg_frame_rate = s.inStream->avg_frame_rate;
    st->r_frame_rate = s.inStream->r_frame_rate;
    // The container's ratio where it has one, else the bitstream's; the muxer refuses two that differ.
    const AVRational sar = s.inStream->sample_aspect_ratio.num > 0 ? s.inStream->sample_aspect_ratio : par->sample_aspect_ratio;
    st->sample_aspect_ratio = st->codecpar->sample_aspect_ratio = sar;
    // A copied picture keeps its turn: players apply it as they did to the source.
    size_t size = 0;
    if (const uint8_t *matrix = av_stream_get_side_data(s.inStream, AV_PKT_DATA_DISPLAYMATRIX, &size))
        if (uint8_t *kept = av_stream_new_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, size))
            std::copy(matrix, matrix + size, kept);
    s.outStream = st;
}

void Transcoder::BuildGraph(Stream &s, const char *sourceFilter, const char *sinkFilter, const std::string &sourceArgs,
                            const std::string &chain)
{
    FilterGraphPtr graph(avfilter_graph_alloc());
    if (!graph)
        throw std::bad_alloc();
    graph->scale_sws_opts = av_strdup("flags=bicubic");
    AVFilterContext *source = nullptr, *sink = nullptr;
    int r = avfilter_graph_create_filter(&source, avfilter_get_by_name(sourceFilter), "in", sourceArgs.c_str(),
                                         nullptr, graph.get());
    if (r >= 0)
        r = avfilter_graph_create_filter(&sink, avfilter_get_by_name(sinkFilter), "out", nullptr, nullptr, graph.get());
    if (r >= 0) {
        FilterInOutPtr outputs(avfilter_inout_alloc());
        FilterInOutPtr inputs(avfilter_inout_alloc());
        if (!outputs || !inputs)
            throw std::bad_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        AVFilterInOut *in = inputs.release(), *out = outputs.release();
        r = avfilter_graph_parse_ptr(graph.get(), chain.c_str(), &in, &out, nullptr);
        avfilter_inout_free(&in);
        avfilter_inout_free(&out);
    }
    for (unsigned i = 0; r >= 0 && s.hwDevice && i < graph->nb_filters; ++i)
        if (!(graph->filters[i]->hw_device_ctx = av_buffer_ref(s.hwDevice.get())))
            throw std::bad_alloc();
    if (r >= 0)
        r = avfilter_graph_config(graph.get(), nullptr);
    if (r < 0)
        throw EngineError(Format("Cannot set up the %s conversion (%s): %s", KindName(s.type), chain.c_str(),
                                 ErrorText(r).c_str()));
    s.graph = std::move(graph);
    s.source = source;
    s.sink = sink;
}

void Transcoder::BuildVideoGraph(Stream &s)
{
    TrimWindow trim;
    if (m_endUs)
        trim.endSeconds = double(*m_endUs) / AV_TIME_BASE;
    BuildGraph(s, "buffer", "buffersink", VideoSourceArgs(s.videoSource), VideoFilterChain(s.layout, s.videoSource, trim));
}

void Transcoder::BuildAudioGraph(Stream &s)
{
    TrimWindow trim;
    if (m_endUs)
        trim.endSeconds = double(*m_endUs) / AV_TIME_BASE;
    const size_t ordinal = size_t(s.audioOrdinal);
    const std::string effects = ordinal < m_plan.audioEffects.size() ? m_plan.audioEffects[ordinal] : std::string();
    BuildGraph(s, "abuffer", "abuffersink", AudioSourceArgs(s.audioSource), AudioFilterChain(s.audioTarget, trim, effects));
    if (s.encoder && s.encoder->frame_size > 0 && !(s.encoderCodec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
        av_buffersink_set_frame_size(s.sink, unsigned(s.encoder->frame_size));
}

void Transcoder::CopyMetadata()
{
    AVFormatContext *oc = m_output.get();
    const bool movFamily = NameIn(oc->oformat->name, {"mp4", "mov", "ipod", "3gp", "3g2", "psp", "f4v", "ismv"});
    if (m_out.metadataInput >= 0) {
        // Tags of the input travel along, except those describing the old file itself.
        const AVFormatContext *ic = m_inputs[size_t(m_out.metadataInput)]->context();
        const AVDictionaryEntry *tag = nullptr;
        while ((tag = av_dict_get(ic->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)))
            if (!KeyIn(tag->key, {"encoder", "software", "major_brand", "minor_version", "compatible_brands"}))
                av_dict_set(&oc->metadata, tag->key, tag->value, 0);
        // Each track keeps its language and title; the counts a muxer wrote about the old track do not hold.
        for (auto &s : m_streams) {
            tag = nullptr;
            while ((tag = av_dict_get(s->inStream->metadata, "", tag, AV_DICT_IGNORE_SUFFIX))) {
                const std::string key = std::string(tag->key).substr(0, std::string(tag->key).find('-'));
                if (KeyIn(key, {"encoder", "vendor_id", "duration", "number_of_frames", "number_of_bytes", "bps",
                                "_statistics_writing_app", "_statistics_writing_date_utc", "_statistics_tags"}) ||
                    (KeyIn(key, {"handler_name"}) && !movFamily))
                    continue;
                av_dict_set(&s->outStream->metadata, tag->key, tag->value, 0);
            }
            // MP4 keeps a track's name as the name of its handler.
            if (const AVDictionaryEntry *title = av_dict_get(s->outStream->metadata, "title", nullptr, 0); title && movFamily)
                av_dict_set(&s->outStream->metadata, "handler_name", title->value, 0);
        }
    }
    for (const auto &[key, value] : m_out.metadata)
        av_dict_set(&oc->metadata, key.c_str(), value.c_str(), 0);
    // Which track plays first and which subtitles always show stays as the source says.
    constexpr int kKept = AV_DISPOSITION_DEFAULT | AV_DISPOSITION_FORCED | AV_DISPOSITION_DUB | AV_DISPOSITION_ORIGINAL |
                          AV_DISPOSITION_COMMENT | AV_DISPOSITION_LYRICS | AV_DISPOSITION_KARAOKE |
                          AV_DISPOSITION_HEARING_IMPAIRED | AV_DISPOSITION_VISUAL_IMPAIRED | AV_DISPOSITION_CAPTIONS |
                          AV_DISPOSITION_DESCRIPTIONS;
    for (auto &s : m_streams)
        s->outStream->disposition = s->inStream->disposition & kKept;
}

void Transcoder::CopyChapters()
{
    if (m_out.chaptersInput < 0)
        return;
    const InputFile &in = *m_inputs[size_t(m_out.chaptersInput)];
    AVFormatContext *oc = m_output.get();
    // Ogg and FLAC keep chapters as comments (Ogg's of its first stream); written here, a chapter
    // starting in the second half of a second does not come out a second late.
    const bool asComments = NameIn(oc->oformat->name, {"ogg", "oga", "opus", "spx", "flac"}) && oc->nb_streams > 0;
    int commented = 0;
    for (unsigned i = 0; i < in.context()->nb_chapters; ++i) {
        const AVChapter *from = in.context()->chapters[i];
        // Output time starts at the input's origin and ends with the requested length.
        const int64_t origin = av_rescale_q(in.originUs(), AV_TIME_BASE_Q, from->time_base);
        int64_t start = from->start - origin, end = from->end - origin;
        const int64_t last = m_endUs ? av_rescale_q(*m_endUs, AV_TIME_BASE_Q, from->time_base) : INT64_MAX;
        if (end <= 0 || start >= last || end <= start)
            continue;
        if (asComments) {
            const int64_t ms = av_rescale_q(std::max<int64_t>(start, 0), from->time_base, AVRational{1, 1000});
            const std::string key = Format("CHAPTER%03d", ++commented);
            AVDictionary **tags = NameIn(oc->oformat->name, {"flac"}) ? &oc->metadata : &oc->streams[0]->metadata;
            av_dict_set(tags, key.c_str(), Format("%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                                                  static_cast<long long>(ms / 60000 % 60),
                                                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000))
                                               .c_str(), 0);
            if (const AVDictionaryEntry *title = av_dict_get(from->metadata, "title", nullptr, 0))
                av_dict_set(tags, (key + "NAME").c_str(), title->value, 0);
            continue;
        }
        auto *chapter = static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter)));
        if (!chapter || av_dict_copy(&chapter->metadata, from->metadata, 0) < 0 ||
            av_dynarray_add_nofree(&oc->chapters, reinterpret_cast<int *>(&oc->nb_chapters), chapter) < 0) {
            if (chapter)
                av_dict_free(&chapter->metadata);
            av_free(chapter);
            throw std::bad_alloc();
        }
        chapter->id = from->id;
        chapter->time_base = from->time_base;
        chapter->start = std::max<int64_t>(start, 0);
        chapter->end = std::min(end, last);
    }
}

void Transcoder::AddCoverArt(const AVOutputFormat *format)
{
    // A cover is no video to whoever converts music with -vn: it stays unless asked to go.
    if (!m_out.coverArt || !ContainerTakesAudio(format))
        return;
    const InputFile &in = *m_inputs[size_t(std::max(m_out.metadataInput, 0))];
    std::vector<const AVStream *> pictures;
    for (unsigned i = 0; i < in.context()->nb_streams; ++i) {
        const AVStream *st = in.context()->streams[i];
        if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) && st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            st->attached_pic.size > 0)
            pictures.push_back(st);
    }
    if (pictures.empty())
        return;
    AVFormatContext *oc = m_output.get();
    if (NameIn(format->name, {"matroska"})) {
        // Matroska keeps a cover as an attached image file, as its players look for it.
        for (const AVStream *picture : pictures) {
            const AVCodecDescriptor *desc = avcodec_descriptor_get(picture->codecpar->codec_id);
            const char *mime = desc && desc->mime_types ? desc->mime_types[0] : nullptr;
            if (!mime)
                continue;
            AVStream *st = avformat_new_stream(oc, nullptr);
            if (!st)
                throw std::bad_alloc();
            st->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
            st->codecpar->codec_id = picture->codecpar->codec_id;
            const int size = picture->attached_pic.size;
            st->codecpar->extradata = static_cast<uint8_t *>(av_mallocz(size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!st->codecpar->extradata)
                throw std::bad_alloc();
            std::copy(picture->attached_pic.data, picture->attached_pic.data + size, st->codecpar->extradata);
            st->codecpar->extradata_size = size;
            const AVDictionaryEntry *name = av_dict_get(picture->metadata, "filename", nullptr, 0);
            const char *extension = desc->id == AV_CODEC_ID_PNG ? "png" : desc->id == AV_CODEC_ID_MJPEG ? "jpg" : desc->name;
            av_dict_set(&st->metadata, "filename", name ? name->value : Format("cover.%s", extension).c_str(), 0);
            av_dict_set(&st->metadata, "mimetype", mime, 0);
        }
        return;
    }
    // Elsewhere only the files that know a cover as such (MP4's, MP3's and FLAC's) take one,
    // when their muxer writes a header with it.
    if (!NameIn(format->name, {"mp4", "mov", "ipod", "mp3", "flac"}))
        return;
    std::vector<const AVStream *> all(oc->streams, oc->streams + oc->nb_streams);
    all.insert(all.end(), pictures.begin(), pictures.end());
    if (!HeaderWrites(format, all)) {
        PrintLinef("Note: the cover picture of '%s' cannot go into a %s file; the output is written without it",
                   in.request().path.c_str(), format->name);
        return;
    }
    for (const AVStream *picture : pictures) {
        AVStream *st = avformat_new_stream(oc, nullptr);
        if (!st || avcodec_parameters_copy(st->codecpar, picture->codecpar) < 0)
            throw std::bad_alloc();
        st->codecpar->codec_tag = 0;
        st->disposition = AV_DISPOSITION_ATTACHED_PIC;
        st->time_base = picture->time_base;
        av_dict_copy(&st->metadata, picture->metadata, 0);
        m_covers.emplace_back(st, picture);
    }
}

void Transcoder::OpenOutputFile()
{
    AVFormatContext *oc = m_output.get();
    if (m_plan.discard) {
        m_sink = std::make_unique<DiscardSink>();
        oc->pb = m_sink->io;
    } else if (!(oc->oformat->flags & AVFMT_NOFILE)) {
        const int r = avio_open(&oc->pb, m_out.path.c_str(), AVIO_FLAG_WRITE);
        if (r < 0)
            throw EngineError(Format("Cannot open output file '%s': %s", m_out.path.c_str(), ErrorText(r).c_str()));
        m_fileCreated = true;
    }
    const int r = avformat_write_header(oc, nullptr);
    if (r < 0)
        throw EngineError(Format("Cannot write the header of '%s': %s", m_out.path.c_str(), ErrorText(r).c_str()));
}

// A cover is one picture, written before anything else so the muxers that wait for it can go on.
void Transcoder::WriteCoverArt()
{
    for (const auto &[out, picture] : m_covers) {
        PacketPtr pkt = NewPacket();
        if (av_packet_ref(pkt.get(), &picture->attached_pic) < 0)
            throw std::bad_alloc();
        pkt->stream_index = out->index;
        pkt->pts = pkt->dts = 0;
        pkt->flags |= AV_PKT_FLAG_KEY;
        pkt->pos = -1;
        const int r = av_interleaved_write_frame(m_output.get(), pkt.get());
        if (r < 0)
            throw EngineError(WriteFailure(r));
    }
}

// ---------------------------------------------------------------- reading

bool Transcoder::InputWanted(const InputFile *input) const
{
    for (const Stream *s : m_streamOfInput[size_t(input->index())])
        if (s && !s->ended)
            return true;
    return false;
}

InputFile *Transcoder::NextInput()
{
    // The input furthest behind is read next, so the output stays interleaved.
    InputFile *best = nullptr;
    int64_t bestUs = INT64_MAX;
    for (auto &in : m_inputs) {
        const size_t i = size_t(in->index());
        if (m_inputEnded[i] || !InputWanted(in.get()))
            continue;
        if (!best || m_inputLastUs[i] < bestUs) {
            best = in.get();
            bestUs = m_inputLastUs[i];
        }
    }
    return best;
}

void Transcoder::ReadLoop()
{
    while (InputFile *in = NextInput()) {
        const size_t index = size_t(in->index());
        const int r = ReadPacket(in, m_packet.get());
        if (r == AVERROR(EAGAIN)) {
            usleep(10000);
            continue;
        }
        if (r < 0) {
            // The end, or damage that ends the file early: convert what was read.
            TakeLibraryError();
            EndInput(in);
            continue;
        }
        const unsigned si = unsigned(m_packet->stream_index);
        Stream *s = si < m_streamOfInput[index].size() ? m_streamOfInput[index][si] : nullptr;
        if (s && m_packet->dts != AV_NOPTS_VALUE) {
            const AVRational tb = in->context()->streams[si]->time_base;
            const int64_t us = av_rescale_q(m_packet->dts, tb, AV_TIME_BASE_Q) - in->originUs();
            m_inputLastUs[index] = us;
            // Far past the requested length: whatever is still missing will not come.
            if (m_endUs && us > *m_endUs + 3 * AV_TIME_BASE)
                for (Stream *other : m_streamOfInput[index])
                    if (other)
                        EndStream(*other);
        }
        if (s && !s->ended)
            HandlePacket(*s, m_packet.get());
        av_packet_unref(m_packet.get());
    }
}

int Transcoder::ReadPacket(InputFile *input, AVPacket *pkt)
{
    std::deque<PacketPtr> &queue = m_readAhead[size_t(input->index())];
    if (queue.empty())
        return av_read_frame(input->context(), pkt);
    av_packet_move_ref(pkt, queue.front().get());
    queue.pop_front();
    return 0;
}

void Transcoder::EndInput(InputFile *input)
{
    m_inputEnded[size_t(input->index())] = true;
    for (Stream *s : m_streamOfInput[size_t(input->index())])
        if (s)
            EndStream(*s);
}

void Transcoder::EndStream(Stream &s)
{
    if (s.ended)
        return;
    // The decoder still holds pictures it has not handed out (reordering, threads).
    if (!s.copy && s.type != AVMEDIA_TYPE_SUBTITLE) {
        avcodec_send_packet(s.decoder.get(), nullptr);
        ReceiveDecodedFrames(s);
    }
    s.ended = true;
}

void Transcoder::HandlePacket(Stream &s, AVPacket *pkt)
{
    if (s.copy) {
        CopyPacket(s, pkt);
        return;
    }
    if (s.type == AVMEDIA_TYPE_SUBTITLE) {
        HandleSubtitlePacket(s, pkt);
        return;
    }
    int r = avcodec_send_packet(s.decoder.get(), pkt);
    if (r == AVERROR(EAGAIN)) {
        ReceiveDecodedFrames(s);
        r = avcodec_send_packet(s.decoder.get(), pkt);
    }
    if (r < 0 && r != AVERROR(EAGAIN) && r != AVERROR_EOF) {
        ++m_decodeErrors; // a damaged packet costs a frame, not the conversion
        TakeLibraryError();
    }
    ReceiveDecodedFrames(s);
}

void Transcoder::CopyPacket(Stream &s, AVPacket *pkt)
{
    const AVRational tb = s.inStream->time_base;
    if (!s.copyStarted) {
        if (!(pkt->flags & AV_PKT_FLAG_KEY) && s.type != AVMEDIA_TYPE_SUBTITLE)
            return; // a copy can only begin on a key frame
        s.copyStarted = true;
    }
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    const int64_t origin = av_rescale_q(s.input->originUs(), AV_TIME_BASE_Q, tb);
    if (ts != AV_NOPTS_VALUE && m_endUs && av_rescale_q(ts - origin, tb, AV_TIME_BASE_Q) >= *m_endUs) {
        s.ended = true;
        return;
    }
    if (pkt->pts != AV_NOPTS_VALUE)
        pkt->pts -= origin;
    if (pkt->dts != AV_NOPTS_VALUE)
        pkt->dts -= origin;
    av_packet_rescale_ts(pkt, tb, s.outStream->time_base);
    pkt->pos = -1;
    WritePacket(s, pkt);
}

void Transcoder::ReceiveDecodedFrames(Stream &s)
{
    for (;;) {
        const int r = avcodec_receive_frame(s.decoder.get(), m_frame.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        if (r < 0) {
            ++m_decodeErrors;
            TakeLibraryError();
            return;
        }
        HandleDecodedFrame(s, m_frame.get());
        av_frame_unref(m_frame.get());
    }
}

bool Transcoder::SourceChanged(const Stream &s, const AVFrame *frame) const
{
    if (s.type == AVMEDIA_TYPE_VIDEO)
        return frame->width != s.videoSource.width || frame->height != s.videoSource.height ||
               frame->format != s.videoSource.format;
    return frame->sample_rate != s.audioSource.sampleRate || frame->format != s.audioSource.format ||
           frame->ch_layout.nb_channels != s.audioSource.layout.nb_channels;
}

// A timestamp far from where the stream was is damage or a broken clock, not a
// pause: the stream goes on from where it was, so nothing fills the jump. A short
// file cannot pause for longer than it lasts.
int64_t Transcoder::Continuous(Stream &s, int64_t ts)
{
    constexpr int64_t kLongestPauseUs = 10 * int64_t(AV_TIME_BASE);
    constexpr int64_t kShortestLimitUs = AV_TIME_BASE;
    ts += s.tsShift;
    if (s.nextPts == AV_NOPTS_VALUE)
        return ts;
    const int64_t jump = ts - s.nextPts;
    const int64_t lengthUs = s.input->context()->duration;
    const int64_t longestUs =
        lengthUs > 0 ? std::clamp(lengthUs, kShortestLimitUs, kLongestPauseUs) : kLongestPauseUs;
    const int64_t limit = av_rescale_q(longestUs, AV_TIME_BASE_Q, s.inStream->time_base);
    if (jump > limit || jump < -limit) {
        s.tsShift -= jump;
        ts = s.nextPts;
    }
    return ts;
}

void Transcoder::HandleDecodedFrame(Stream &s, AVFrame *frame)
{
    if (s.ended)
        return;
    const AVRational tb = s.inStream->time_base;
    int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        ts = s.nextPts != AV_NOPTS_VALUE ? s.nextPts : 0;
    else
        ts = Continuous(s, ts);
    const int64_t rel = ts - av_rescale_q(s.input->originUs(), AV_TIME_BASE_Q, tb);
    if (m_endUs && av_rescale_q(rel, tb, AV_TIME_BASE_Q) >= *m_endUs) {
        s.ended = true; // reading stops once every stream is here
        return;
    }

    if (SourceChanged(s, frame)) {
        // Let the old filters hand over what they hold, then continue with new ones.
        av_buffersrc_close(s.source, s.graphEnd, AV_BUFFERSRC_FLAG_PUSH);
        PullFiltered(s);
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            s.videoSource.width = frame->width;
            s.videoSource.height = frame->height;
            s.videoSource.format = AVPixelFormat(frame->format);
            if (s.layout.cropLeft + s.layout.cropRight + 2 > frame->width ||
                s.layout.cropTop + s.layout.cropBottom + 2 > frame->height)
                throw EngineError(Format("The picture size changed to %dx%d, too small for the requested crop",
                                         frame->width, frame->height));
            BuildVideoGraph(s);
        } else {
            s.audioSource.sampleRate = frame->sample_rate;
            s.audioSource.format = AVSampleFormat(frame->format);
            av_channel_layout_uninit(&s.audioSource.layout);
            NamedLayout(frame->ch_layout, &s.audioSource.layout);
            BuildAudioGraph(s);
        }
    }

    if (s.type == AVMEDIA_TYPE_AUDIO && m_out.repairTimes && s.nextPts != AV_NOPTS_VALUE &&
        ts + av_rescale_q(frame->nb_samples, AVRational{1, frame->sample_rate}, tb) <= s.nextPts) {
        // Sound wholly before what was passed on already (packets out of order) would
        // only push the rest later.
        ++m_droppedPackets;
        return;
    }
    if (s.type == AVMEDIA_TYPE_VIDEO && s.layout.keepTiming && m_out.repairTimes) {
        // Pictures that keep their own times cannot go back in time: nothing makes them a rate.
        if (s.lastPicture != AV_NOPTS_VALUE && rel <= s.lastPicture) {
            ++m_droppedPackets;
            return;
        }
        s.lastPicture = rel;
    }
    if (s.type == AVMEDIA_TYPE_VIDEO) {
        const int64_t duration = frame->pkt_duration > 0 ? frame->pkt_duration
                                                          : av_rescale_q(1, av_inv_q(s.videoSource.frameRate), tb);
        s.nextPts = ts + duration;
        frame->pts = rel;
        s.graphEnd = rel + duration;
    } else {
        const AVRational sampleTb{1, frame->sample_rate};
        s.nextPts = ts + av_rescale_q(frame->nb_samples, sampleTb, tb);
        frame->pts = av_rescale_q(rel, tb, sampleTb);
        s.graphEnd = frame->pts + frame->nb_samples;
    }
    const int r = av_buffersrc_add_frame_flags(s.source, frame, 0);
    if (r < 0)
        throw EngineError(Format("Cannot pass the decoded %s on: %s", KindName(s.type), ErrorText(r).c_str()));
    PullFiltered(s);
}

void Transcoder::PullFiltered(Stream &s)
{
    for (;;) {
        const int r = av_buffersink_get_frame_flags(s.sink, m_filtered.get(), 0);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        if (r < 0)
            throw EngineError(Format("Converting the %s failed: %s", KindName(s.type), ErrorText(r).c_str()));
        AVFrame *frame = m_filtered.get();
        if (s.type == AVMEDIA_TYPE_AUDIO && m_plan.observer)
            m_plan.observer->AudioToEncoder(s.audioOrdinal, frame);
        if (s.type == AVMEDIA_TYPE_AUDIO && !m_plan.encodeAudio) {
            m_progress.Reached(double(frame->pts + frame->nb_samples) * av_q2d(av_buffersink_get_time_base(s.sink)));
            m_progress.Tick(m_output.get());
        } else {
            EncodeFrame(s, frame);
        }
        av_frame_unref(frame);
    }
}

void Transcoder::EncodeFrame(Stream &s, AVFrame *frame)
{
    AVCodecContext *enc = s.encoder.get();
    if (frame) {
        frame->pts = av_rescale_q(frame->pts, av_buffersink_get_time_base(s.sink), enc->time_base);
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            frame->pict_type = AV_PICTURE_TYPE_NONE; // the encoder places its own key frames
            if (enc->flags & AV_CODEC_FLAG_QSCALE)
                frame->quality = enc->global_quality;
            if (s.layout.sampleAspect.num > 0)
                frame->sample_aspect_ratio = s.layout.sampleAspect;
            if (s.check) {
                s.sent.emplace_back(av_frame_clone(frame));
                if (!s.sent.back())
                    throw std::bad_alloc();
            }
        }
    }
    const int r = avcodec_send_frame(enc, frame);
    if (r < 0 && r != AVERROR_EOF)
        throw EngineError(Format("Encoding the %s with %s failed: %s", KindName(s.type), s.encoderCodec->name,
                                 ErrorText(r).c_str()));
    ReceivePackets(s);
}

void Transcoder::ReceivePackets(Stream &s)
{
    for (;;) {
        const int r = avcodec_receive_packet(s.encoder.get(), m_encoded.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            return;
        if (r < 0)
            throw EngineError(Format("Encoding the %s with %s failed: %s", KindName(s.type), s.encoderCodec->name,
                                     ErrorText(r).c_str()));
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            size_t size = 0;
            const uint8_t *stats = av_packet_get_side_data(m_encoded.get(), AV_PKT_DATA_QUALITY_STATS, &size);
            const double quality = stats && size >= 4 ? double(int32_t(AV_RL32(stats))) / FF_QP2LAMBDA : 0;
            m_progress.VideoFrameWritten(quality);
        }
        // Not every encoder states how long a picture lasts; the muxers and the progress time need it.
        if (s.type == AVMEDIA_TYPE_VIDEO && m_encoded->duration <= 0)
            m_encoded->duration = av_rescale_q(1, av_inv_q(s.encoder->framerate), s.encoder->time_base);
        if (s.type == AVMEDIA_TYPE_VIDEO && m_plan.videoPass == 1 && m_plan.stats && s.encoder->stats_out &&
            !StatsAtEnd(s.encoderCodec))
            *m_plan.stats += s.encoder->stats_out;
        if (s.check)
            DecodeCheck(s, m_encoded.get());
        av_packet_rescale_ts(m_encoded.get(), s.encoder->time_base, s.outStream->time_base);
        WritePacket(s, m_encoded.get());
    }
}

void Transcoder::WritePacket(Stream &s, AVPacket *pkt)
{
    pkt->stream_index = s.outStream->index;
    if (m_out.repairTimes && !PlaceInTime(s, pkt)) {
        ++m_droppedPackets;
        return;
    }
    const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    double end = 0;
    if (ts != AV_NOPTS_VALUE)
        end = double(ts + pkt->duration) * av_q2d(s.outStream->time_base);
    if (s.copy && s.type == AVMEDIA_TYPE_VIDEO)
        m_progress.VideoFrameWritten(0);
    m_progress.PacketWritten(s.type, pkt->size, end);
    const int r = av_interleaved_write_frame(m_output.get(), pkt);
    if (r < 0)
        throw EngineError(WriteFailure(r));
    m_progress.Tick(m_output.get());
}

bool Transcoder::PlaceInTime(Stream &s, AVPacket *pkt)
{
    const int flags = m_output->oformat->flags;
    if (flags & AVFMT_NOTIMESTAMPS)
        return true;
    if (pkt->pts == AV_NOPTS_VALUE && pkt->dts == AV_NOPTS_VALUE)
        return false;
    if (pkt->pts == AV_NOPTS_VALUE)
        pkt->pts = pkt->dts;
    if (pkt->dts == AV_NOPTS_VALUE)
        return true; // the muxer works it out from the presentation times
    // Decoded before shown: a packet that claims otherwise gets the middle of its two times
    // and the earliest one it may take.
    const int64_t earliest = s.lastMuxDts == AV_NOPTS_VALUE ? std::min(pkt->pts, pkt->dts) : s.lastMuxDts + 1;
    if (pkt->dts > pkt->pts) {
        const int64_t middle = std::max(std::min(pkt->pts, pkt->dts), std::min(std::max(pkt->pts, pkt->dts), earliest));
        pkt->pts = pkt->dts = middle;
        ++m_movedPackets;
    }
    if (s.lastMuxDts != AV_NOPTS_VALUE) {
        const int64_t next = s.lastMuxDts + ((flags & AVFMT_TS_NONSTRICT) ? 0 : 1);
        if (pkt->dts < next) {
            if (pkt->pts >= pkt->dts)
                pkt->pts = std::max(pkt->pts, next);
            pkt->dts = next;
            ++m_movedPackets;
        }
    }
    s.lastMuxDts = pkt->dts;
    return true;
}

// A full disk or the size limit of the process said in plain words.
std::string Transcoder::WriteFailure(int averror) const
{
    if (averror == AVERROR(EFBIG))
        return Format("Writing to '%s' failed: the file reached the largest size this process may write "
                      "(File too large)", m_out.path.c_str());
    if (averror == AVERROR(ENOSPC))
        return Format("Writing to '%s' failed: No space left on device", m_out.path.c_str());
    return Format("Writing to '%s' failed: %s", m_out.path.c_str(), ErrorText(averror).c_str());
}

void Transcoder::DecodeCheck(Stream &s, const AVPacket *pkt)
{
    if (avcodec_send_packet(s.check.get(), pkt) < 0) {
        TakeLibraryError();
        return;
    }
    FramePtr frame = NewFrame();
    while (avcodec_receive_frame(s.check.get(), frame.get()) >= 0) {
        if (s.type == AVMEDIA_TYPE_AUDIO) {
            m_plan.observer->AudioFromEncoder(s.audioOrdinal, frame.get());
        } else {
            // Pictures come back in the order they are shown; one the encoder dropped has no partner.
            const int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
            while (!s.sent.empty() && s.sent.front()->pts < pts)
                s.sent.pop_front();
            if (!s.sent.empty() && s.sent.front()->pts == pts) {
                m_plan.observer->PictureRoundTrip(s.sent.front().get(), frame.get());
                s.sent.pop_front();
            }
        }
        av_frame_unref(frame.get());
    }
}

void Transcoder::Finish()
{
    for (auto &s : m_streams) {
        if (s->copy || s->type == AVMEDIA_TYPE_SUBTITLE)
            continue;
        av_buffersrc_close(s->source, s->graphEnd, AV_BUFFERSRC_FLAG_PUSH);
        PullFiltered(*s);
        if (s->type == AVMEDIA_TYPE_AUDIO && !m_plan.encodeAudio)
            continue;
        EncodeFrame(*s, nullptr);
        if (s->type == AVMEDIA_TYPE_VIDEO && m_plan.videoPass == 1 && m_plan.stats && s->encoder->stats_out &&
            StatsAtEnd(s->encoderCodec))
            *m_plan.stats = s->encoder->stats_out;
        if (s->check)
            DecodeCheck(*s, nullptr);
    }
    // A measuring pass writes nothing, and some encoders write nothing in their first pass.
    const bool mayBeEmpty = !m_plan.encodeAudio || m_plan.videoPass == 1;
    if (m_progress.packets() == 0 && !mayBeEmpty) {
        const AVFormatContext *ic = m_inputs.front()->context();
        if (m_out.startUs > 0 && ic->duration != AV_NOPTS_VALUE && m_out.startUs >= ic->duration)
            throw EngineError(Format("Nothing to write: the start time %.2f s lies beyond the end of '%s' (%.2f s)",
                                     double(m_out.startUs) / AV_TIME_BASE, m_inputs.front()->request().path.c_str(),
                                     double(ic->duration) / AV_TIME_BASE));
        throw EngineError(Format("Nothing to write: no audio or video could be decoded from '%s'",
                                 m_inputs.front()->request().path.c_str()));
    }
    if (m_decodeErrors > 0 && m_plan.announce)
        PrintLinef("Note: %lld damaged packets of the input were skipped", static_cast<long long>(m_decodeErrors));
    if (m_movedPackets > 0)
        PrintLinef("Note: %lld packets whose times went backwards were put in order", static_cast<long long>(m_movedPackets));
    if (m_droppedPackets > 0)
        PrintLinef("Note: %lld packets that could not be placed in time were left out",
                   static_cast<long long>(m_droppedPackets));
    const int r = av_write_trailer(m_output.get());
    if (r < 0)
        throw EngineError(WriteFailure(r));
    if (m_output->pb) {
        avio_flush(m_output->pb);
        if (m_output->pb->error < 0)
            throw EngineError(WriteFailure(m_output->pb->error));
    }

    for (unsigned i = 0; i < m_output->nb_streams; ++i)
        m_headerBytes += m_output->streams[i]->codecpar->extradata_size;
    m_fileBytes = m_sink ? m_sink->size : OutputSize(m_output.get());
    m_finished = true;
    if (m_plan.conclude)
        Conclude();
}

void Transcoder::Conclude(const std::vector<std::string> &notes)
{
    m_progress.Final(m_sink ? nullptr : m_output.get());
    for (const std::string &note : notes)
        PrintLine("Note: " + note);
    m_progress.Summary(m_sink ? nullptr : m_output.get(), m_headerBytes);
}

} // namespace mirra
