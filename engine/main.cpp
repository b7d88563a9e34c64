// mirracore: the conversion engine. Describes its inputs, and converts them to
// the output file when one is given. Every line it prints ends in CR LF.

#include "Console.h"
#include "ConvertModule.h"
#include "Describe.h"
#include "InputFile.h"
#include "Options.h"

#include <csignal>
#include <cstdlib>
#include <memory>
#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

const char *const kHelp[] = {
    "usage: mirracore [-y] [-threads N] [[-f FORMAT] [-ss S] [-t S] -i INPUT]... [OPTION VALUE]... OUTPUT",
    "       mirracore -i INPUT            describe the input and exit",
    "Options before -i belong to that input, the others to the output. Bit rates: a number below",
    "10000 is kbit/s, a larger one bit/s; k and M count. When -qmin, -qmax or -level is given twice,",
    "the first wins: a profile's own values come before the fixed tail -qmin 1 -qmax 51 -level 13.",
    "",
    "  -f FORMAT            container (lavfi for test sources as inputs)",
    "  -ss S, -t S          start and length; after -i exact to the frame",
    "  -vcodec, -c:v NAME   video encoder, or copy; -acodec, -c:a NAME for audio",
    "  -vn, -an             no video (a cover picture stays), no audio",
    "  -vb, -b:v RATE       video bit rate; -ab, -b:a RATE audio bit rate",
    "  -ar HZ, -ac N        audio sample rate and channels (libopus: 48000 and below)",
    "  -r FPS, -s WxH       frame rate and frame size",
    "  -aspect R            display ratio, decimal or W:H",
    "  -padtop/-padbottom/-padleft/-padright N, -croptop/-cropbottom/-cropleft/-cropright N",
    "  -qmin N, -qmax N     quantiser bounds (left out when -crf sets the encoder's own quality)",
    "  -level N             H.264 level, raised to what the size and rate need",
    "  -g N, -bf N          key frame distance, B-frames",
    "  -qscale Q            fixed quantiser (MPEG-4 family), or constant quality for x264 and VP8/9",
    "  -crf Q               the encoder's constant quality: libx264 and libx265 0-51,",
    "                       libvpx-vp9 and libsvtav1 0-63 (VP9: with -b:v 0)",
    "  -preset NAME         libx264/libx265: ultrafast ... veryslow; libsvtav1: -1 to 13",
    "  -tune NAME           libx264/libx265: film, animation, grain, ... (libsvtav1 has none)",
    "  -profile:v NAME      encoder profile, such as main or high",
    "  -deadline NAME       libvpx: good, best or realtime",
    "  -cpu-used N          libvpx speed (VP9: -8 to 8; 4 when not given)",
    "  -row-mt 1            libvpx-vp9: rows in parallel on every core",
    "  -tag:v FOURCC        the codec's tag in the container, such as hvc1",
    "  -map I:v|I:a|I:s[:N][?]  video, audio or subtitle streams of input I (all, or the Nth); ? may",
    "                       match none. Text subtitles become SubRip in MKV, mov_text in MP4",
    "                       Without -map: the best video and the best audio of all inputs",
    "  -movflags +faststart MP4 and MOV: the index before the pictures",
    "  -vaapi_device PATH   h264_vaapi, hevc_vaapi: the render node (default /dev/dri/renderD128);",
    "                       quality by -rc_mode CQP|ICQ, -qp N, -quality N (and -low_power 1)",
    "  h264_nvenc, hevc_nvenc: -preset p1 ... p7, -tune hq|ll|ull|lossless, -rc vbr|constqp, -cq Q",
    "  Hardware encoders ignore -qmin, -qmax and -level; their own rate control decides.",
    "  -pix_fmt NAME        pixel format, such as yuv420p for 8-bit players",
    "  -title, -author, -copyright, -comment, -album TEXT, -timestamp DATE, -metadata KEY=VALUE",
    "Pictures stored turned (phones) come out upright; copied ones keep their turn.",
    "",
    "Kept and repaired by default, each decided from the source:",
    "  -map_metadata N      tags, track titles, languages from input N (0); -1 none. Dispositions",
    "                       (default, forced) always follow their tracks",
    "  -map_chapters N      chapters of input N (0), moved and cut by -ss and -t; -1 none",
    "  -cover_art 0         no cover pictures (kept in MP4, M4A, MOV, MKV, MP3 and FLAC, with -vn too)",
    "  -deinterlace auto|1|0  auto: a video whose field order says interlaced, or whose first",
    "                       seconds idet finds combed, is made progressive (bwdif, a picture per",
    "                       picture); telecined film is left as it is. 1 always, 0 never",
    "  -genpts 0            no presentation times made for packets that have none (AVI)",
    "  -fix_ts 0            decoding times going backwards are not put in order, and packets",
    "                       without any time are not left out",
    "  -fallback_vcodec NAME, -fallback_acodec NAME  with copy, the encoder for a stream the",
    "                       container cannot hold (else H.264 or AAC where it holds them, or its",
    "                       own codec); none: such a stream is refused",
    "",
    "Targets: the engine runs passes of its own, then prints what it reached as Note: lines.",
    "  -loudness LUFS       integrated loudness (EBU R128), -70 to -5, such as -16; the true peak",
    "                       stays at or below -1 dBTP. Copied sound is encoded again",
    "  -target-size SIZE    the file at most SIZE and at least 90 % of it: 25M, 700k, 1.5G count",
    "                       thousands, 25MiB, 700KiB 1024s. Two-pass where the encoder has them",
    "  -target-ssim X       the highest CRF (or quantiser) whose SSIM against the source reaches X",
    "                       (0 to 1, such as 0.97), searched on samples; their scores are kept in",
    "                       $XDG_CACHE_HOME/corvane-studio/quality. Not together with -target-size",
};

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        for (const char *line : kHelp)
            mirra::PrintLine(line);
        return 0;
    }
    using namespace mirra;
    // A reader that went away must not kill a conversion half-way through a write.
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file size limit the write fails and is reported instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
    // SVT-AV1 prints its own notices on stderr; only its errors belong among our lines.
    setenv("SVT_LOG", "1", 0);
    InstallLibraryLog(AV_LOG_QUIET);
    try {
        const CommandLine command = ParseCommandLine(argc, argv);
        InstallLibraryLog(command.logLevel);
        // A probe reads with demuxers and decoders alone; the rest is loaded when needed.
        std::optional<ConvertModule> module;
        const bool forcedFormat = std::any_of(command.inputs.begin(), command.inputs.end(),
                                              [](const InputRequest &input) { return !input.format.empty(); });
        if (command.hasOutput || forcedFormat)
            module.emplace();
        if (forcedFormat)
            RegisterDevices();

        std::vector<std::unique_ptr<InputFile>> inputs;
        for (size_t i = 0; i < command.inputs.size(); ++i) {
            inputs.push_back(std::make_unique<InputFile>(command.inputs[i], int(i)));
            DescribeInput(*inputs.back(), !command.hasOutput);
        }
        if (!command.hasOutput) {
            PrintLine("Must supply at least one output file");
            return 1;
        }
        module->Convert(command, inputs);
        return 0;
    } catch (const EngineError &e) {
        PrintLine(e.what());
    } catch (const std::bad_alloc &) {
        PrintLine("Out of memory");
    } catch (const std::exception &e) {
        PrintLine(std::string("Unexpected failure: ") + e.what());
    }
    return 1;
}
