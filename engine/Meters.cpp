#include "Meters.h"

#include "Console.h"
#include "Geometry.h"

#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

namespace mirra {

namespace {

// source(s) -> chain -> sink, labelled "in"/"in2" and "out".
void ParseGraph(AVFilterGraph *graph, const std::string &chain, AVFilterContext *first, AVFilterContext *second,
                AVFilterContext *sink)
{
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    AVFilterInOut *more = second ? avfilter_inout_alloc() : nullptr;
    if (!outputs || !inputs || (second && !more)) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&more);
        throw std::bad_alloc();
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = first;
    outputs->next = more;
    if (more) {
        more->name = av_strdup("in2");
        more->filter_ctx = second;
    }
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    int r = avfilter_graph_parse_ptr(graph, chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (r >= 0)
        r = avfilter_graph_config(graph, nullptr);
    if (r < 0)
        throw EngineError(Format("Cannot set up the measurement (%s): %s", chain.c_str(), ErrorText(r).c_str()));
}

double MetadataNumber(const AVFrame *frame, const char *key, double otherwise)
{
    const AVDictionaryEntry *entry = av_dict_get(frame->metadata, key, nullptr, 0);
    return entry ? std::strtod(entry->value, nullptr) : otherwise;
}

} // namespace

void LoudnessMeter::Add(const AVFrame *frame)
{
    if (m_closed || frame->nb_samples <= 0)
        return;
    if (!m_graph) {
        m_graph.reset(avfilter_graph_alloc());
        if (!m_graph)
            throw std::bad_alloc();
        const std::string args = Format("sample_rate=%d:sample_fmt=%s:channel_layout=%s:time_base=1/%d",
                                        frame->sample_rate, av_get_sample_fmt_name(AVSampleFormat(frame->format)),
                                        LayoutName(frame->ch_layout).c_str(), frame->sample_rate);
        int r = avfilter_graph_create_filter(&m_source, avfilter_get_by_name("abuffer"), "in", args.c_str(), nullptr,
                                             m_graph.get());
        if (r >= 0)
            r = avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr,
                                             m_graph.get());
        if (r < 0)
            throw EngineError(Format("Cannot set up the loudness measurement: %s", ErrorText(r).c_str()));
        ParseGraph(m_graph.get(), "[in]ebur128=peak=true:metadata=1[out]", m_source, nullptr, m_sink);
    }
    FramePtr copy(av_frame_clone(frame));
    if (!copy)
        throw std::bad_alloc();
    copy->pts = m_nextPts;
    m_nextPts += frame->nb_samples;
    const int r = av_buffersrc_add_frame_flags(m_source, copy.get(), 0);
    if (r < 0)
        throw EngineError(Format("Cannot measure the loudness: %s", ErrorText(r).c_str()));
    Pull();
}

void LoudnessMeter::Pull()
{
    while (av_buffersink_get_frame(m_sink, m_out.get()) >= 0) {
        m_last.integrated = MetadataNumber(m_out.get(), "lavfi.r128.I", m_last.integrated);
        m_last.range = MetadataNumber(m_out.get(), "lavfi.r128.LRA", m_last.range);
        const double peak = MetadataNumber(m_out.get(), "lavfi.r128.true_peak", -1);
        if (peak >= 0)
            m_last.truePeak = peak > 0 ? 20 * std::log10(peak) : -200;
        av_frame_unref(m_out.get());
    }
}

Loudness LoudnessMeter::Result()
{
    if (m_graph && !m_closed) {
        m_closed = true;
        av_buffersrc_close(m_source, m_nextPts, AV_BUFFERSRC_FLAG_PUSH);
        Pull();
    }
    return m_last;
}

void SsimMeter::Setup(const AVFrame *frame)
{
    m_graph.reset(avfilter_graph_alloc());
    if (!m_graph)
        throw std::bad_alloc();
    const std::string args = Format("video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1", frame->width,
                                    frame->height, frame->format);
    int r = avfilter_graph_create_filter(&m_main, avfilter_get_by_name("buffer"), "in", args.c_str(), nullptr,
                                         m_graph.get());
    if (r >= 0)
        r = avfilter_graph_create_filter(&m_reference, avfilter_get_by_name("buffer"), "in2", args.c_str(), nullptr,
                                         m_graph.get());
    if (r >= 0)
        r = avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                         m_graph.get());
    if (r < 0)
        throw EngineError(Format("Cannot set up the picture comparison: %s", ErrorText(r).c_str()));
    ParseGraph(m_graph.get(), "[in][in2]ssim[out]", m_main, m_reference, m_sink);
}

void SsimMeter::Add(const AVFrame *original, const AVFrame *decoded)
{
    if (m_finished)
        return;
    if (!m_graph)
        Setup(original);
    if (av_frame_ref(m_a.get(), decoded) < 0 || av_frame_ref(m_b.get(), original) < 0)
        throw std::bad_alloc();
    for (AVFrame *f : {m_a.get(), m_b.get()}) {
        f->pts = m_pts;
        f->sample_aspect_ratio = AVRational{1, 1};
    }
    ++m_pts;
    int r = av_buffersrc_add_frame_flags(m_main, m_a.get(), 0);
    if (r >= 0)
        r = av_buffersrc_add_frame_flags(m_reference, m_b.get(), 0);
    av_frame_unref(m_a.get());
    av_frame_unref(m_b.get());
    if (r < 0)
        throw EngineError(Format("Cannot compare the pictures: %s", ErrorText(r).c_str()));
    Pull();
}

void SsimMeter::Finish()
{
    if (!m_graph || m_finished)
        return;
    m_finished = true;
    av_buffersrc_close(m_main, m_pts, AV_BUFFERSRC_FLAG_PUSH);
    av_buffersrc_close(m_reference, m_pts, AV_BUFFERSRC_FLAG_PUSH);
    Pull();
}

void SsimMeter::Pull()
{
    while (av_buffersink_get_frame(m_sink, m_out.get()) >= 0) {
        const double ssim = MetadataNumber(m_out.get(), "lavfi.ssim.All", -1);
        if (ssim >= 0) {
            m_sum += ssim;
            ++m_count;
        }
        av_frame_unref(m_out.get());
    }
}

} // namespace mirra
