#include "InputFile.h"

#include "Console.h"

#include <algorithm>
#include <cctype>

extern "C" {
#include <libavutil/avutil.h>
}

namespace mirra {

InputFile::InputFile(const InputRequest &request, int index) : m_request(request), m_index(index)
{
    const AVInputFormat *format = nullptr;
    if (!request.format.empty()) {
        format = av_find_input_format(request.format.c_str());
        if (!format)
            throw EngineError(Format("Unknown input format '%s'", request.format.c_str()));
    }
    AVFormatContext *context = nullptr;
    int r = avformat_open_input(&context, request.path.c_str(), format, nullptr);
    if (r < 0)
        throw EngineError(Format("Cannot open input file '%s': %s", request.path.c_str(), ErrorText(r).c_str()));
    m_context.reset(context);

    r = avformat_find_stream_info(context, nullptr);
    if (r < 0)
        throw EngineError(Format("Cannot read the streams of '%s': %s", request.path.c_str(), ErrorText(r).c_str()));
    m_originUs = context->start_time != AV_NOPTS_VALUE ? context->start_time : 0;
}

std::string InputFile::FormatName() const
{
    const std::string names = m_context->iformat->name;
    if (names.find(',') == std::string::npos)
        return names;
    std::string ext;
    const size_t dot = m_request.path.find_last_of('.');
    const size_t slash = m_request.path.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        ext = m_request.path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    size_t from = 0;
    std::string first;
    while (from <= names.size()) {
        size_t comma = names.find(',', from);
        if (comma == std::string::npos)
            comma = names.size();
        const std::string name = names.substr(from, comma - from);
        if (first.empty())
            first = name;
        if (!ext.empty() && name == ext)
            return name;
        from = comma + 1;
    }
    return first;
}

int InputFile::BestStream(AVMediaType type) const
{
    int best = -1;
    int64_t bestScore = -1;
    for (unsigned i = 0; i < m_context->nb_streams; ++i) {
        const AVStream *st = m_context->streams[i];
        const AVCodecParameters *par = st->codecpar;
        if (par->codec_type != type || par->codec_id == AV_CODEC_ID_NONE)
            continue;
        if (st->disposition & AV_DISPOSITION_ATTACHED_PIC)
            continue;
        int64_t score = type == AVMEDIA_TYPE_VIDEO ? int64_t(par->width) * par->height : par->ch_layout.nb_channels;
        if (st->disposition & AV_DISPOSITION_DEFAULT)
            score += 1; // breaks ties toward the stream the file marks as default
        if (score > bestScore) {
            bestScore = score;
            best = int(i);
        }
    }
    return best;
}

void InputFile::SeekToStart(int64_t extraSeekUs)
{
    const int64_t start = m_context->start_time != AV_NOPTS_VALUE ? m_context->start_time : 0;
    const int64_t seek = m_request.seekUs + extraSeekUs;
    m_originUs = start + seek;
    if (seek <= 0)
        return;
    // Failure is harmless: the frames before the origin are decoded and dropped.
    if (avformat_seek_file(m_context.get(), -1, INT64_MIN, m_originUs, m_originUs, 0) < 0)
        TakeLibraryError();
}

std::vector<int64_t> InputFile::EstimateStreamBitRates()
{
    AVFormatContext *ic = m_context.get();
    const unsigned n = ic->nb_streams;
    std::vector<int64_t> rates(n, 0);
    std::vector<bool> wanted(n, false);
    bool any = false;
    for (unsigned i = 0; i < n; ++i) {
        const AVStream *st = ic->streams[i];
        const AVCodecParameters *par = st->codecpar;
        if ((par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO) && (par->bit_rate <= 0 || par->bit_rate == 0x3FFFF * 400LL) &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            wanted[i] = true;
            any = true;
        }
    }
    if (!any)
        return rates;

    std::vector<int64_t> bytes(n, 0), first(n, AV_NOPTS_VALUE), last(n, AV_NOPTS_VALUE);
    PacketPtr pkt = NewPacket();
    int64_t total = 0;
    for (int count = 0; count < 4000 && total < (16 << 20); ++count) {
        if (av_read_frame(ic, pkt.get()) < 0)
            break;
        const unsigned s = unsigned(pkt->stream_index);
        if (s < n && wanted[s]) {
            const AVRational tb = ic->streams[s]->time_base;
            const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
            bytes[s] += pkt->size;
            total += pkt->size;
            if (ts != AV_NOPTS_VALUE) {
                const int64_t us = av_rescale_q(ts, tb, AV_TIME_BASE_Q);
                const int64_t end = us + av_rescale_q(pkt->duration, tb, AV_TIME_BASE_Q);
                if (first[s] == AV_NOPTS_VALUE || us < first[s])
                    first[s] = us;
                if (last[s] == AV_NOPTS_VALUE || end > last[s])
                    last[s] = end;
            }
            bool allLong = true;
            for (unsigned k = 0; k < n; ++k)
                if (wanted[k] && (first[k] == AV_NOPTS_VALUE || last[k] - first[k] < 8 * AV_TIME_BASE))
                    allLong = false;
            av_packet_unref(pkt.get());
            if (allLong)
                break;
            continue;
        }
        av_packet_unref(pkt.get());
    }
    TakeLibraryError();
    for (unsigned i = 0; i < n; ++i) {
        if (!wanted[i] || first[i] == AV_NOPTS_VALUE)
            continue;
        const int64_t span = last[i] - first[i];
        if (span >= AV_TIME_BASE / 5)
            rates[i] = bytes[i] * 8 * AV_TIME_BASE / span;
    }
    return rates;
}

} // namespace mirra
