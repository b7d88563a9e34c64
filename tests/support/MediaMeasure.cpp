#include "MediaMeasure.h"

#include <cmath>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
}

namespace TestSupport {

QList<QMap<QString, double>> GraphFrames(const QString &graph, bool audio)
{
    QList<QMap<QString, double>> frames;
    AVFilterGraph *g = avfilter_graph_alloc();
    AVFilterContext *sink = nullptr;
    AVFilterInOut *in = avfilter_inout_alloc(), *out = nullptr;
    avfilter_graph_create_filter(&sink, avfilter_get_by_name(audio ? "abuffersink" : "buffersink"), "out", nullptr, nullptr, g);
    in->name = av_strdup("out");
    in->filter_ctx = sink;
    if (avfilter_graph_parse_ptr(g, graph.toUtf8().constData(), &in, &out, nullptr) >= 0 && avfilter_graph_config(g, nullptr) >= 0) {
        AVFrame *f = av_frame_alloc();
        while (av_buffersink_get_frame(sink, f) >= 0) {
            QMap<QString, double> values{{QStringLiteral("pts"), double(f->pts)}};
            for (const AVDictionaryEntry *e = nullptr; (e = av_dict_get(f->metadata, "", e, AV_DICT_IGNORE_SUFFIX));)
                values.insert(QString::fromUtf8(e->key), QString::fromUtf8(e->value).toDouble());
            frames << values;
            av_frame_unref(f);
        }
        av_frame_free(&f);
    }
    avfilter_inout_free(&in);
    avfilter_inout_free(&out);
    avfilter_graph_free(&g);
    return frames;
}

MeasuredLoudness MeasureLoudness(const QString &file)
{
    const auto frames = GraphFrames(QStringLiteral("amovie='%1',ebur128=peak=true:metadata=1").arg(file), true);
    // The meter's figures so far ride on each frame; a last frame given out at the end may carry none.
    for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame)
        if (frame->contains("lavfi.r128.I"))
            return {frame->value("lavfi.r128.I"), 20 * std::log10(frame->value("lavfi.r128.true_peak"))};
    return {};
}

double MeasureSsim(const QString &file, const QString &source)
{
    double sum = 0;
    const auto frames = GraphFrames(QStringLiteral("movie='%1'[a];movie='%2'[b];[a][b]ssim").arg(file, source), false);
    for (const auto &frame : frames)
        sum += frame.value("lavfi.ssim.All");
    return frames.isEmpty() ? 0 : sum / frames.size();
}

} // namespace TestSupport
