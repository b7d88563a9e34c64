#include "FieldCheck.h"

#include "Console.h"

#include <cstdlib>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/dict.h>
}

namespace mirra {

namespace {

constexpr int kFramesWanted = 60;
// idet calls a picture combed when one field order fits it 4% better than the other; fast
// motion in progressive video does that too. A fifth better is combing.
constexpr const char *kIdetOptions = "intl_thres=1.2";
constexpr double kSecondsWanted = 3.0;

int Count(const AVDictionary *metadata, const char *key)
{
    const AVDictionaryEntry *e = av_dict_get(metadata, key, nullptr, 0);
    return e ? std::atoi(e->value) : 0;
}

} // namespace

FieldCheck::FieldCheck(const AVStream *stream, int threads) : m_frame(NewFrame()), m_filtered(NewFrame())
{
    m_timeBase = stream->time_base;
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return;
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder)
        throw std::bad_alloc();
    if (avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
        return;
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = threads;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        TakeLibraryError();
        return;
    }
    m_decoder = std::move(decoder);
}

FieldCheck::~FieldCheck() = default;

bool FieldCheck::Feed(const AVPacket *packet)
{
    if (!m_decoder || m_done)
        return false;
    if (avcodec_send_packet(m_decoder.get(), packet) < 0)
        TakeLibraryError(); // a damaged packet: the next ones may still decode
    while (!m_done && avcodec_receive_frame(m_decoder.get(), m_frame.get()) >= 0) {
        const int64_t pts = m_frame->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE && m_firstPts == AV_NOPTS_VALUE)
            m_firstPts = pts;
        m_counts.flagged += m_frame->interlaced_frame ? 1 : 0;
        if (!Filter(m_frame.get()))
            m_done = true;
        av_frame_unref(m_frame.get());
        const bool longEnough = pts != AV_NOPTS_VALUE && m_firstPts != AV_NOPTS_VALUE &&
                                double(pts - m_firstPts) * av_q2d(m_timeBase) >= kSecondsWanted;
        if (m_counts.frames >= kFramesWanted || longEnough)
            m_done = true;
    }
    TakeLibraryError();
    return !m_done;
}

bool FieldCheck::Filter(AVFrame *frame)
{
    if (!m_graph) {
        FilterGraphPtr graph(avfilter_graph_alloc());
        if (!graph)
            throw std::bad_alloc();
        const AVRational sar = frame->sample_aspect_ratio.num > 0 ? frame->sample_aspect_ratio : AVRational{1, 1};
        const std::string args = Format("video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=%d/%d", frame->width,
                                        frame->height, frame->format, sar.num, sar.den);
        AVFilterContext *source = nullptr, *idet = nullptr, *sink = nullptr;
        int r = avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", args.c_str(), nullptr,
                                             graph.get());
        if (r >= 0)
            r = avfilter_graph_create_filter(&idet, avfilter_get_by_name("idet"), "idet", kIdetOptions, nullptr, graph.get());
        if (r >= 0)
            r = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                             graph.get());
        if (r >= 0)
            r = avfilter_link(source, 0, idet, 0);
        if (r >= 0)
            r = avfilter_link(idet, 0, sink, 0);
        if (r >= 0)
            r = avfilter_graph_config(graph.get(), nullptr);
        if (r < 0) {
            TakeLibraryError();
            return false;
        }
        m_graph = std::move(graph);
        m_source = source;
        m_sink = sink;
    }
    // The filter sees the pictures one after another; their own times do not matter to it.
    frame->pts = m_counts.frames;
    if (av_buffersrc_add_frame_flags(m_source, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
        TakeLibraryError();
        return false; // a picture of another size: what was seen so far decides
    }
    ++m_counts.frames;
    while (av_buffersink_get_frame(m_sink, m_filtered.get()) >= 0) {
        Read(m_filtered.get());
        av_frame_unref(m_filtered.get());
    }
    return true;
}

void FieldCheck::Read(const AVFrame *filtered)
{
    // idet's counts run from the first picture: the latest picture carries them all.
    m_counts.topFirst = Count(filtered->metadata, "lavfi.idet.multiple.tff");
    m_counts.bottomFirst = Count(filtered->metadata, "lavfi.idet.multiple.bff");
    m_counts.progressive = Count(filtered->metadata, "lavfi.idet.multiple.progressive");
    m_counts.repeated = Count(filtered->metadata, "lavfi.idet.repeated.top") +
                        Count(filtered->metadata, "lavfi.idet.repeated.bottom");
}

FieldCounts FieldCheck::Finish()
{
    if (m_graph && m_source) {
        av_buffersrc_close(m_source, m_counts.frames, AV_BUFFERSRC_FLAG_PUSH);
        while (av_buffersink_get_frame(m_sink, m_filtered.get()) >= 0) {
            Read(m_filtered.get());
            av_frame_unref(m_filtered.get());
        }
    }
    TakeLibraryError();
    return m_counts;
}

bool InterlacedOrder(AVFieldOrder order)
{
    return order == AV_FIELD_TT || order == AV_FIELD_BB || order == AV_FIELD_TB || order == AV_FIELD_BT;
}

FieldVerdict JudgeFields(AVFieldOrder order, const FieldCounts &c)
{
    if (order == AV_FIELD_PROGRESSIVE)
        return FieldVerdict::Progressive;
    // Pulldown repeats a field in two pictures of every five; such film wants its
    // pictures matched up again, not each one made up of half its lines.
    if (c.frames >= 10 && c.repeated * 5 >= c.frames)
        return FieldVerdict::Telecined;
    if (InterlacedOrder(order))
        return c.flagged > 0 ? FieldVerdict::FlaggedOnly : FieldVerdict::Interlaced;
    // Nothing said: the pictures decide. Combing in most of them, and well above what
    // looks progressive, is an interlaced source.
    const bool combed = c.frames >= 10 && c.Interlaced() * 2 >= c.frames && c.Interlaced() >= 2 * c.progressive;
    if (!combed)
        return FieldVerdict::Progressive;
    return c.flagged * 2 >= c.frames ? FieldVerdict::FlaggedOnly : FieldVerdict::Interlaced;
}

} // namespace mirra
