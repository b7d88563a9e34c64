// The engine's command line, and the picture geometry planned from what it asked:
// a mistake is an EngineError, and no zero, negative or (for subsampled chroma) odd
// size reaches an encoder.
#include "FuzzSupport.h"
#include "Console.h"
#include "Geometry.h"
#include "Options.h"

#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/pixdesc.h>
}

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

void CheckLayout(const mirra::VideoLayout &l, int sourceW, int sourceH)
{
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(l.pixelFormat);
    Check(l.scaleWidth > 0 && l.scaleHeight > 0 && l.outWidth > 0 && l.outHeight > 0);
    Check(l.padLeft >= 0 && l.padRight >= 0 && l.padTop >= 0 && l.padBottom >= 0);
    Check(l.cropLeft >= 0 && l.cropRight >= 0 && l.cropTop >= 0 && l.cropBottom >= 0);
    Check(l.cropLeft + l.cropRight < sourceW && l.cropTop + l.cropBottom < sourceH);
    Check(l.outWidth == l.scaleWidth + l.padLeft + l.padRight && l.outHeight == l.scaleHeight + l.padTop + l.padBottom);
    if (desc && desc->log2_chroma_w > 0)
        Check(l.outWidth % 2 == 0);
    if (desc && desc->log2_chroma_h > 0)
        Check(l.outHeight % 2 == 0);
    Check(l.sampleAspect.num >= 0 && (l.sampleAspect.num == 0 || l.sampleAspect.den > 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Arguments are the input's NUL-separated pieces.
    std::vector<std::string> args{"mirracore"};
    std::string current;
    for (size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    if (!current.empty())
        args.push_back(current);
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    mirra::CommandLine command;
    try {
        command = mirra::ParseCommandLine(int(args.size()), argv.data());
    } catch (const mirra::EngineError &) {
        return 0;
    }

    static const AVCodec *encoders[] = {avcodec_find_encoder(AV_CODEC_ID_MPEG4), avcodec_find_encoder(AV_CODEC_ID_H263),
                                        avcodec_find_encoder(AV_CODEC_ID_H264), avcodec_find_encoder(AV_CODEC_ID_GIF)};
    const struct
    {
        int w, h;
        AVPixelFormat format;
    } sources[] = {{320, 240, AV_PIX_FMT_YUV420P}, {7, 5, AV_PIX_FMT_YUV444P}, {2, 2, AV_PIX_FMT_YUV422P},
                   {1920, 1080, AV_PIX_FMT_PAL8}};
    const mirra::GeometryRequest &want = command.output.geometry;
    for (const AVCodec *encoder : encoders) {
        if (!encoder)
            continue;
        for (const auto &source : sources) {
            try {
                const mirra::VideoLayout layout = mirra::PlanVideoLayout(want, source.w, source.h, AVRational{1, 1},
                                                                         encoder, source.format, AVRational{25, 1});
                CheckLayout(layout, source.w, source.h);
                mirra::VideoSource in;
                in.width = source.w;
                in.height = source.h;
                in.format = source.format;
                mirra::VideoFilterChain(layout, in, mirra::TrimWindow{});
            } catch (const mirra::EngineError &) {
            }
        }
    }
    return 0;
}
