#include "Geometry.h"

#include "Codecs.h"
#include "Console.h"

#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

namespace mirra {

namespace {

std::string TrimFilter(const char *name, const TrimWindow &trim)
{
    std::string text = Format("%s=start=0", name);
    if (trim.endSeconds)
        text += Format(":end=%.6f", *trim.endSeconds);
    return text;
}

} // namespace

VideoLayout PlanVideoLayout(const GeometryRequest &want, int sourceWidth, int sourceHeight, AVRational sourceAspect,
                            const AVCodec *encoder, AVPixelFormat pixelFormat, AVRational frameRate)
{
    VideoLayout l;
    l.pixelFormat = pixelFormat;
    l.frameRate = frameRate;
    l.cropLeft = want.cropLeft;
    l.cropRight = want.cropRight;
    l.cropTop = want.cropTop;
    l.cropBottom = want.cropBottom;
    const int croppedW = sourceWidth - want.cropLeft - want.cropRight;
    const int croppedH = sourceHeight - want.cropTop - want.cropBottom;
    if (croppedW < 2 || croppedH < 2)
        throw EngineError(Format("Cropping %d+%d columns and %d+%d rows leaves nothing of the %dx%d picture",
                                 want.cropLeft, want.cropRight, want.cropTop, want.cropBottom, sourceWidth,
                                 sourceHeight));
    l.scaleWidth = want.width > 0 ? want.width : croppedW;
    l.scaleHeight = want.height > 0 ? want.height : croppedH;
    l.padLeft = want.padLeft;
    l.padRight = want.padRight;
    l.padTop = want.padTop;
    l.padBottom = want.padBottom;

    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(pixelFormat);
    const bool halfWidth = desc && desc->log2_chroma_w > 0;
    const bool halfHeight = desc && desc->log2_chroma_h > 0;
    // Subsampled chroma needs even sides; take the odd line off the pads first.
    auto makeEven = [](int &scale, int &padA, int &padB, bool needed) {
        if (!needed || (scale + padA + padB) % 2 == 0)
            return;
        if (padB > 0)
            --padB;
        else if (padA > 0)
            --padA;
        else if (scale > 2)
            --scale;
        else
            ++scale;
    };
    makeEven(l.scaleWidth, l.padLeft, l.padRight, halfWidth);
    makeEven(l.scaleHeight, l.padTop, l.padBottom, halfHeight);
    l.outWidth = l.scaleWidth + l.padLeft + l.padRight;
    l.outHeight = l.scaleHeight + l.padTop + l.padBottom;
    if (l.outWidth > 16384 || l.outHeight > 16384)
        throw EngineError(Format("The frame of %dx%d with its pads is larger than 16384x16384", l.outWidth, l.outHeight));

    if (want.aspect.num > 0) {
        av_reduce(&l.sampleAspect.num, &l.sampleAspect.den, int64_t(want.aspect.num) * l.outHeight,
                  int64_t(want.aspect.den) * l.outWidth, 255);
    }

    if (encoder->id == AV_CODEC_ID_H263 && !IsH263Size(l.outWidth, l.outHeight)) {
        // Keep what the picture looks like: the display ratio it would have had.
        AVRational dar = want.aspect;
        if (dar.num <= 0) {
            AVRational sar = sourceAspect.num > 0 ? sourceAspect : AVRational{1, 1};
            av_reduce(&dar.num, &dar.den, int64_t(croppedW) * sar.num, int64_t(croppedH) * sar.den, 1 << 20);
        }
        int w = l.outWidth, h = l.outHeight;
        NearestH263Size(w, h);
        l.note = Format("H.263 takes only standard frame sizes: writing %dx%d instead of %dx%d", w, h, l.outWidth,
                        l.outHeight);
        l.scaleWidth = l.outWidth = w;
        l.scaleHeight = l.outHeight = h;
        l.padLeft = l.padRight = l.padTop = l.padBottom = 0;
        av_reduce(&l.sampleAspect.num, &l.sampleAspect.den, int64_t(dar.num) * h, int64_t(dar.den) * w, 255);
    }
    return l;
}

std::string VideoSourceArgs(const VideoSource &s)
{
    const AVRational sar = s.sampleAspect.num > 0 ? s.sampleAspect : AVRational{1, 1};
    std::string args = Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", s.width, s.height,
                              int(s.format), s.timeBase.num, s.timeBase.den, sar.num, sar.den);
    if (s.frameRate.num > 0 && s.frameRate.den > 0)
        args += Format(":frame_rate=%d/%d", s.frameRate.num, s.frameRate.den);
    return args;
}

std::string AudioSourceArgs(const AudioFormat &s)
{
    return Format("time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", s.sampleRate, s.sampleRate,
                  av_get_sample_fmt_name(s.format), LayoutName(s.layout).c_str());
}

std::string VideoFilterChain(const VideoLayout &l, const VideoSource &source, const TrimWindow &trim)
{
    std::string chain = "[in]" + TrimFilter("trim", trim);
    // Pictures are made progressive before anything drops, turns or scales their lines.
    if (l.deinterlace != VideoLayout::Deinterlace::None)
        chain += Format(",bwdif=mode=send_frame:parity=%s:deint=%s", l.firstField,
                        l.deinterlace == VideoLayout::Deinterlace::Marked ? "interlaced" : "all");
    // Constant frame rate first, so dropped frames are never scaled.
    if (!l.keepTiming)
        chain += Format(",fps=fps=%d/%d", l.frameRate.num, l.frameRate.den);
    if (source.rotation == 90)
        chain += ",transpose=dir=clock";
    else if (source.rotation == 180)
        chain += ",hflip,vflip";
    else if (source.rotation == 270)
        chain += ",transpose=dir=cclock";
    const int croppedW = source.UprightWidth() - l.cropLeft - l.cropRight;
    const int croppedH = source.UprightHeight() - l.cropTop - l.cropBottom;
    if (l.cropLeft || l.cropRight || l.cropTop || l.cropBottom)
        chain += Format(",crop=w=%d:h=%d:x=%d:y=%d", croppedW, croppedH, l.cropLeft, l.cropTop);
    if (croppedW != l.scaleWidth || croppedH != l.scaleHeight)
        chain += Format(",scale=w=%d:h=%d:flags=bicubic", l.scaleWidth, l.scaleHeight);
    if (l.padLeft || l.padRight || l.padTop || l.padBottom)
        chain += Format(",pad=w=%d:h=%d:x=%d:y=%d:color=black", l.outWidth, l.outHeight, l.padLeft, l.padTop);
    if (l.upload)
        chain += Format(",format=pix_fmts=%s,hwupload[out]", av_get_pix_fmt_name(l.pixelFormat));
    else if (l.pixelFormat == AV_PIX_FMT_PAL8)
        chain += ",split[pa][pb];[pa]palettegen=stats_mode=single[pal];[pb][pal]paletteuse=new=1[out]";
    else
        chain += Format(",format=pix_fmts=%s[out]", av_get_pix_fmt_name(l.pixelFormat));
    return chain;
}

int RotationOf(const int32_t *displayMatrix)
{
    if (!displayMatrix)
        return 0;
    // The matrix holds the counter-clockwise angle; the picture is turned back by it.
    const double angle = av_display_rotation_get(displayMatrix);
    if (std::isnan(angle))
        return 0;
    const int clockwise = ((int(std::lround(-angle / 90.0)) % 4) + 4) % 4 * 90;
    return clockwise;
}

std::string AudioFilterChain(const AudioFormat &t, const TrimWindow &trim, const std::string &effects)
{
    return "[in]" + TrimFilter("atrim", trim) + (effects.empty() ? std::string() : "," + effects) +
           Format(",aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s[out]", av_get_sample_fmt_name(t.format),
                  t.sampleRate, LayoutName(t.layout).c_str());
}

void NamedLayout(const AVChannelLayout &in, AVChannelLayout *out)
{
    if (in.order == AV_CHANNEL_ORDER_NATIVE && in.nb_channels > 0) {
        av_channel_layout_copy(out, &in);
        return;
    }
    av_channel_layout_default(out, in.nb_channels > 0 ? in.nb_channels : 2);
}

std::string LayoutName(const AVChannelLayout &layout)
{
    AVChannelLayout named{};
    NamedLayout(layout, &named);
    std::string name = Format("0x%llx", static_cast<unsigned long long>(named.u.mask));
    av_channel_layout_uninit(&named);
    return name;
}

} // namespace mirra
