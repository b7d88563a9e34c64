#include "support/MediaReader.h"

#include <QFile>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace TestSupport {

double Media::Mean(int x, int y, int w, int h) const
{
    double sum = 0;
    for (int r = y; !luma.empty() && r < y + h; ++r)
        for (int c = x; c < x + w; ++c)
            sum += luma[size_t(r) * pictureWidth + c];
    return luma.empty() ? -1 : sum / (w * h);
}

Media ReadMedia(const QString &path)
{
    Media m;
    m.turn = NAN;
    AVFormatContext *ic = nullptr;
    av_log_set_level(AV_LOG_QUIET); // damaged and cut files are read on purpose
    if (avformat_open_input(&ic, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return m;
    if (avformat_find_stream_info(ic, nullptr) >= 0 && ic->duration != AV_NOPTS_VALUE)
        m.seconds = double(ic->duration) / AV_TIME_BASE;
    const int v = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int a = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AVCodecContext *dec = nullptr;
    if (v >= 0) {
        const AVCodecParameters *par = ic->streams[v]->codecpar;
        m.videoCodec = QString::fromLatin1(avcodec_get_name(par->codec_id));
        m.width = par->width, m.height = par->height, m.level = par->level;
        m.sarNum = par->sample_aspect_ratio.num, m.sarDen = par->sample_aspect_ratio.den;
        if (const uint8_t *matrix = av_stream_get_side_data(ic->streams[v], AV_PKT_DATA_DISPLAYMATRIX, nullptr))
            m.turn = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
        const AVCodec *codec = avcodec_find_decoder(par->codec_id);
        dec = avcodec_alloc_context3(codec);
        if (avcodec_parameters_to_context(dec, par) < 0 || avcodec_open2(dec, codec, nullptr) < 0)
            avcodec_free_context(&dec);
    }
    m.audioCodec = a >= 0 ? QString::fromLatin1(avcodec_get_name(ic->streams[a]->codecpar->codec_id)) : QString();
    auto tag = [](const AVDictionary *d, const char *key) {
        const AVDictionaryEntry *e = av_dict_get(d, key, nullptr, 0);
        return e ? QString::fromUtf8(e->value) : QString();
    };
    QStringList chapters, tracks;
    for (unsigned i = 0; i < ic->nb_chapters; ++i) {
        const AVChapter *c = ic->chapters[i];
        chapters << QStringLiteral("%1 %2-%3").arg(tag(c->metadata, "title")).arg(c->start * av_q2d(c->time_base), 0, 'f', 1)
                        .arg(c->end * av_q2d(c->time_base), 0, 'f', 1);
    }
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream *st = ic->streams[i];
        const AVMediaType type = st->codecpar->codec_type;
        m.videoStreams += type == AVMEDIA_TYPE_VIDEO;
        m.audioStreams += type == AVMEDIA_TYPE_AUDIO;
        m.covers += (st->disposition & AV_DISPOSITION_ATTACHED_PIC) ? 1 : 0;
        if (type == AVMEDIA_TYPE_SUBTITLE && m.subtitleCodec.isEmpty())
            m.subtitleCodec = QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id));
        if (type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE)
            continue;
        // MP4 names a track by its handler; the handlers' own names are not titles.
        QString name = tag(st->metadata, "title");
        if (const QString handler = tag(st->metadata, "handler_name"); name.isEmpty() && !handler.endsWith("Handler"))
            name = handler;
        QStringList parts{type == AVMEDIA_TYPE_AUDIO ? "a" : "s", tag(st->metadata, "language"), name};
        if (st->disposition & AV_DISPOSITION_DEFAULT)
            parts << "default";
        if (st->disposition & AV_DISPOSITION_FORCED)
            parts << "forced";
        parts.removeAll(QString());
        tracks << parts.join(u' ');
    }
    m.chapters = chapters.join(u'|');
    m.tracks = tracks.join(u'|');
    for (const AVDictionaryEntry *tag = nullptr; (tag = av_dict_get(ic->metadata, "", tag, AV_DICT_IGNORE_SUFFIX));)
        m.tags.insert(QString::fromUtf8(tag->key).toLower(), QString::fromUtf8(tag->value));
    AVPacket *pkt = av_packet_alloc();
    AVFrame *frame = av_frame_alloc();
    bool decoded = false;
    auto takePicture = [&](const AVPacket *packet) {
        if (!dec || decoded || avcodec_send_packet(dec, packet) < 0 || avcodec_receive_frame(dec, frame) < 0)
            return;
        decoded = true;
        const AVPixelFormat f = AVPixelFormat(frame->format);
        if (f != AV_PIX_FMT_YUV420P && f != AV_PIX_FMT_YUVJ420P && f != AV_PIX_FMT_YUV422P && f != AV_PIX_FMT_YUV444P)
            return;
        m.pictureWidth = frame->width, m.pictureHeight = frame->height;
        for (int y = 0; y < frame->height; ++y)
            m.luma.insert(m.luma.end(), frame->data[0] + y * frame->linesize[0],
                          frame->data[0] + y * frame->linesize[0] + frame->width);
    };
    while (av_read_frame(ic, pkt) >= 0) {
        if (pkt->stream_index == v && m.videoPackets == 0)
            m.startsOnKey = pkt->flags & AV_PKT_FLAG_KEY;
        m.videoPackets += pkt->stream_index == v;
        m.audioPackets += pkt->stream_index == a;
        if (pkt->stream_index == v)
            takePicture(pkt);
        av_packet_unref(pkt);
    }
    takePicture(nullptr); // a decoder with delay gives its first picture only when drained
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&ic);
    return m;
}

Shape Turned(double degrees)
{
    return [degrees](AVFormatContext *oc) {
        for (unsigned i = 0; i < oc->nb_streams; ++i)
            if (oc->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                auto *matrix = reinterpret_cast<int32_t *>(
                    av_stream_new_side_data(oc->streams[i], AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
                if (!matrix)
                    return false;
                av_display_rotation_set(matrix, degrees);
            }
        return true;
    };
}

bool Remux(const QString &in, const QString &out, const Shape &shape, double slowAfter)
{
    AVFormatContext *ic = nullptr, *oc = nullptr;
    if (avformat_open_input(&ic, QFile::encodeName(in).constData(), nullptr, nullptr) < 0)
        return false;
    bool ok = avformat_find_stream_info(ic, nullptr) >= 0 &&
              avformat_alloc_output_context2(&oc, nullptr, nullptr, QFile::encodeName(out).constData()) >= 0;
    for (unsigned i = 0; ok && i < ic->nb_streams; ++i) {
        AVStream *st = avformat_new_stream(oc, nullptr);
        ok = st && avcodec_parameters_copy(st->codecpar, ic->streams[i]->codecpar) >= 0;
        if (ok)
            st->codecpar->codec_tag = 0;
    }
    ok = ok && (!shape || shape(oc));
    ok = ok && avio_open(&oc->pb, QFile::encodeName(out).constData(), AVIO_FLAG_WRITE) >= 0 &&
         avformat_write_header(oc, nullptr) >= 0;
    AVPacket *pkt = av_packet_alloc();
    while (ok && av_read_frame(ic, pkt) >= 0) {
        const AVStream *st = ic->streams[pkt->stream_index];
        if (slowAfter >= 0 && st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            const int64_t cut = int64_t(slowAfter / av_q2d(st->time_base));
            for (int64_t *t : {&pkt->pts, &pkt->dts})
                if (*t != AV_NOPTS_VALUE)
                    *t += std::max<int64_t>(0, *t - cut);
        }
        av_packet_rescale_ts(pkt, st->time_base, oc->streams[pkt->stream_index]->time_base);
        ok = av_interleaved_write_frame(oc, pkt) >= 0;
    }
    ok = ok && av_write_trailer(oc) >= 0;
    av_packet_free(&pkt);
    if (oc && oc->pb)
        avio_closep(&oc->pb);
    avformat_free_context(oc);
    avformat_close_input(&ic);
    return ok;
}

QStringList CodecNames(const QString &encoder)
{
    const AVCodec *codec = avcodec_find_encoder_by_name(encoder.toLatin1().constData());
    return codec ? QStringList{encoder, QString::fromLatin1(avcodec_get_name(codec->id))} : QStringList{};
}

} // namespace TestSupport
