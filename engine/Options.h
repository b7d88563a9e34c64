#pragma once
// The command line, read in classic transcoder order: options before "-i" belong to
// that input, options after the last input to the output, the last argument is the
// output file.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

namespace mirra {

struct InputRequest
{
    std::string path;
    std::string format;           // -f before -i: demuxer name
    int64_t seekUs = 0;           // -ss before -i
    std::optional<int64_t> limitUs; // -t before -i
};

struct GeometryRequest
{
    int cropTop = 0, cropBottom = 0, cropLeft = 0, cropRight = 0;
    int padTop = 0, padBottom = 0, padLeft = 0, padRight = 0;
    int width = 0, height = 0;   // -s; 0 keeps the (cropped) source size
    AVRational aspect{0, 1};     // -aspect display ratio; 0 keeps the source's
};

// -map INPUT:v|a|s[:N][?]: the streams of one kind of an input, or its Nth; "?" lets it match none.
struct StreamMap
{
    std::string text;
    int input = 0;
    char kind = 'v'; // v video, a audio, s subtitles
    int number = -1; // -1: every stream of the kind
    bool optional = false;
};

// What the output must come out as rather than how to encode it; the engine runs
// passes of its own to get there.
struct TargetRequest
{
    std::optional<double> loudness; // integrated loudness in LUFS
    int64_t sizeBytes = 0;          // the file at most this large; 0 for none
    bool sizeBinary = false;        // asked in KiB, MiB or GiB
    std::optional<double> ssim;     // the picture's SSIM against the source
    bool Any() const { return loudness || sizeBytes > 0 || ssim; }
};

struct OutputRequest
{
    std::string path;
    std::string format;          // -f after the inputs
    std::string videoCodec;      // encoder name, "copy", or empty for the container's default
    std::string audioCodec;
    bool noVideo = false;
    bool noAudio = false;
    int64_t videoBitRate = 0;    // bit/s, 0 = encoder default
    int64_t audioBitRate = 0;
    int sampleRate = 0;
    int channels = 0;
    AVRational frameRate{0, 1};
    GeometryRequest geometry;
    int64_t startUs = 0;                  // -ss after the inputs
    std::optional<int64_t> durationUs;    // -t
    int qmin = -1;
    int qmax = -1;
    int level = -1;              // H.264 level_idc, e.g. 13 for 1.3
    int gop = -1;
    int bFrames = -1;
    double qscale = -1;
    std::string pixelFormat;
    std::vector<std::pair<std::string, std::string>> metadata; // in the order given
    // The video encoder's own options (-crf, -preset, -tune, -profile:v, -deadline,
    // -cpu-used, -row-mt) under the encoder's names, and the container's (-movflags).
    std::vector<std::pair<std::string, std::string>> videoEncoderOptions;
    std::vector<std::pair<std::string, std::string>> muxerOptions;
    std::string videoTag; // -tag:v: the four characters naming the codec in the container
    std::string vaapiDevice; // -vaapi_device: the render node VAAPI encoders use
    std::vector<StreamMap> maps; // empty: the best video and the best audio of all inputs
    // What the engine keeps and repairs by itself, decided from the source; each can be turned off.
    int metadataInput = 0;          // -map_metadata N: tags, track titles and languages of input N; -1 none
    int chaptersInput = 0;          // -map_chapters N: chapters of input N; -1 none
    bool coverArt = true;           // -cover_art 0: attached pictures are left out
    bool generateTimes = true;      // -genpts 0: packets without presentation times are not given any
    bool repairTimes = true;        // -fix_ts 0: decoding times going backwards are not repaired
    enum class Deinterlace { Auto, Always, Never };
    Deinterlace deinterlace = Deinterlace::Auto; // -deinterlace auto|1|0
    // A copied stream the container cannot hold is encoded with these ("none": refused);
    // empty: H.264 or AAC where the container holds them, else its own codec.
    std::string fallbackVideoCodec; // -fallback_vcodec
    std::string fallbackAudioCodec; // -fallback_acodec
    TargetRequest targets;
    // A quality mode of the encoder's own (-crf): no bit rate, quantiser bounds or
    // bit rate of ours is set over it.
    bool OwnQualityMode() const;
};

struct CommandLine
{
    bool overwrite = false;
    int threads = 0;             // 0 = as many as the libraries find useful
    int logLevel = -8;           // AV_LOG_QUIET unless -loglevel asks for more
    std::vector<InputRequest> inputs;
    bool hasOutput = false;
    OutputRequest output;
};

// Throws EngineError with a one-line explanation on any mistake.
CommandLine ParseCommandLine(int argc, char **argv);

// Value readers, public for the tests of the rules they implement.
int64_t ParseBitRate(const std::string &text, const std::string &option);
int64_t ParseDurationUs(const std::string &text, const std::string &option);
AVRational ParseAspect(const std::string &text, const std::string &option);
int ParseLevel(const std::string &text, const std::string &option);
// "25M", "700k", "1.5GiB" or a number of bytes; k, M, G count in thousands, KiB, MiB, GiB in 1024s.
int64_t ParseTargetSize(const std::string &text, const std::string &option, bool *binary = nullptr);

} // namespace mirra
