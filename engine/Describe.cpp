#include "Describe.h"

#include "Console.h"
#include "InputFile.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace mirra {

namespace {

std::string CodecName(AVCodecID id)
{
    const AVCodecDescriptor *desc = avcodec_descriptor_get(id);
    return FieldSafe(desc ? desc->name : "unknown");
}

std::string ChannelsText(const AVChannelLayout &layout)
{
    // Containers that store only a count still get the usual name for it ("stereo").
    AVChannelLayout named{};
    if (layout.order == AV_CHANNEL_ORDER_NATIVE || layout.order == AV_CHANNEL_ORDER_AMBISONIC)
        av_channel_layout_copy(&named, &layout);
    else
        av_channel_layout_default(&named, layout.nb_channels);
    char text[128] = {};
    const bool described = layout.nb_channels > 0 && av_channel_layout_describe(&named, text, sizeof text) > 0;
    av_channel_layout_uninit(&named);
    if (described)
        return FieldSafe(text);
    return Format("%d channels", layout.nb_channels);
}

int64_t AudioBitRate(const AVCodecParameters *par, int64_t known)
{
    if (known > 0)
        return known;
    const int bits = av_get_bits_per_sample(par->codec_id);
    if (bits > 0)
        return int64_t(bits) * par->sample_rate * par->ch_layout.nb_channels;
    return 0;
}

void DescribeMetadata(const AVDictionary *metadata, const char *indent)
{
    const AVDictionaryEntry *tag = nullptr;
    bool first = true;
    while ((tag = av_dict_get(metadata, "", tag, AV_DICT_IGNORE_SUFFIX))) {
        if (first)
            PrintLinef("%sMetadata:", indent);
        first = false;
        PrintLinef("%s  %-16s: %s", indent, tag->key, FieldSafe(tag->value).c_str());
    }
}

} // namespace

std::string ClockText(int64_t us)
{
    if (us == AV_NOPTS_VALUE || us < 0)
        return "N/A";
    us += 5000; // hundredths are rounded, not cut
    const int64_t seconds = us / AV_TIME_BASE;
    const int hundredths = int((us % AV_TIME_BASE) / 10000);
    return Format("%02lld:%02d:%02d.%02d", static_cast<long long>(seconds / 3600), int(seconds / 60 % 60),
                  int(seconds % 60), hundredths);
}

std::string StreamLine(int fileIndex, int streamIndex, const AVCodecParameters *par, AVRational frameRate,
                       int64_t bitRate)
{
    std::string line = Format("    Stream #%d.%d: ", fileIndex, streamIndex);
    switch (par->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
        line += "Video: " + CodecName(par->codec_id);
        const char *pix = av_get_pix_fmt_name(AVPixelFormat(par->format));
        if (pix)
            line += std::string(", ") + FieldSafe(pix);
        if (par->width > 0 && par->height > 0) {
            AVRational sar = par->sample_aspect_ratio;
            if (sar.num <= 0 || sar.den <= 0)
                sar = AVRational{1, 1};
            av_reduce(&sar.num, &sar.den, sar.num, sar.den, 1 << 20);
            AVRational dar{0, 1};
            av_reduce(&dar.num, &dar.den, int64_t(par->width) * sar.num, int64_t(par->height) * sar.den, 1024 * 1024);
            line += Format(", %dx%d [PAR %d:%d DAR %d:%d]", par->width, par->height, sar.num, sar.den, dar.num,
                           dar.den);
        }
        if (bitRate > 0)
            line += Format(", %lld kb/s", static_cast<long long>(bitRate / 1000));
        if (frameRate.num > 0 && frameRate.den > 0)
            line += Format(", %.2f tb(r)", av_q2d(frameRate));
        break;
    }
    case AVMEDIA_TYPE_AUDIO:
        line += "Audio: " + CodecName(par->codec_id);
        line += Format(", %d Hz, %s, %lld kb/s", par->sample_rate, ChannelsText(par->ch_layout).c_str(),
                       static_cast<long long>(AudioBitRate(par, bitRate) / 1000));
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        line += "Subtitle: " + CodecName(par->codec_id);
        break;
    case AVMEDIA_TYPE_ATTACHMENT:
        line += "Attachment: " + CodecName(par->codec_id);
        break;
    default:
        line += "Data: " + CodecName(par->codec_id);
        break;
    }
    return line;
}

void DescribeInput(InputFile &input, bool estimateBitRates)
{
    AVFormatContext *ic = input.context();
    PrintLinef("Input #%d, %s, from '%s':", input.index(), FieldSafe(input.FormatName()).c_str(),
               input.request().path.c_str());
    const std::string start =
        ic->start_time != AV_NOPTS_VALUE ? Format("%.6f", double(ic->start_time) / AV_TIME_BASE) : "0.000000";
    const std::string rate = ic->bit_rate > 0 ? Format("%lld kb/s", static_cast<long long>(ic->bit_rate / 1000)) : "N/A";
    PrintLinef("  Duration: %s, start: %s, bitrate: %s", ClockText(ic->duration).c_str(), start.c_str(), rate.c_str());

    std::vector<int64_t> estimates;
    if (estimateBitRates)
        estimates = input.EstimateStreamBitRates();
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
        const AVStream *st = ic->streams[i];
        AVRational frameRate = st->r_frame_rate;
        if (frameRate.num <= 0 || frameRate.den <= 0)
            frameRate = st->avg_frame_rate;
        int64_t bitRate = st->codecpar->bit_rate;
        // MPEG-1/2 headers write the largest value to mean "variable".
        if (bitRate == 0x3FFFF * 400LL)
            bitRate = 0;
        if (bitRate <= 0 && i < estimates.size())
            bitRate = estimates[i];
        PrintLine(StreamLine(input.index(), int(i), st->codecpar, frameRate, bitRate));
    }
    // Tags come after the stream lines so a tag text can never stand where a reader
    // looks for the first "Duration:", "Video:" or "Audio:".
    DescribeMetadata(ic->metadata, "  ");
}

void DescribeOutput(AVFormatContext *output, const std::vector<AVRational> &rates)
{
    PrintLinef("Output #0, %s, to '%s':", output->oformat->name, output->url ? output->url : "");
    for (unsigned i = 0; i < output->nb_streams; ++i) {
        const AVStream *st = output->streams[i];
        PrintLine(StreamLine(0, int(i), st->codecpar, i < rates.size() ? rates[i] : AVRational{0, 1},
                             st->codecpar->bit_rate));
    }
    DescribeMetadata(output->metadata, "  ");
}

} // namespace mirra
