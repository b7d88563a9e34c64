#include "Options.h"

#include "Console.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/parseutils.h>
}

namespace mirra {

namespace {

enum class Scope { Global, Input, InputOrOutput, Output };

[[noreturn]] void BadValue(const std::string &value, const std::string &option, const char *why)
{
    throw EngineError(Format("Invalid value '%s' for option '-%s': %s", value.c_str(), option.c_str(), why));
}

// Whole text must be an integer in [low, high].
int ParseInt(const std::string &text, const std::string &option, long low, long high)
{
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == text.c_str() || *end != '\0' || errno == ERANGE)
        BadValue(text, option, "a whole number is needed");
    if (v < low) {
        if (low == 0)
            BadValue(text, option, "it must not be negative");
        BadValue(text, option, Format("it must be at least %ld", low).c_str());
    }
    if (v > high)
        BadValue(text, option, Format("it must be at most %ld", high).c_str());
    return int(v);
}

double ParseDouble(const std::string &text, const std::string &option)
{
    errno = 0;
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
        BadValue(text, option, "a number is needed");
    return v;
}

// What an output option does to the request.
using OutputSetter = void (*)(OutputRequest &out, const std::string &name, const std::string &value);

template <int GeometryRequest::*field, int high>
void SetGeometry(OutputRequest &out, const std::string &name, const std::string &value)
{
    out.geometry.*field = ParseInt(value, name, 0, high);
}

// The fixed quality tail comes after a profile's own values: the first one given wins.
template <int OutputRequest::*field>
void SetFirstQuantiser(OutputRequest &out, const std::string &name, const std::string &value)
{
    const int q = ParseInt(value, name, 0, 69);
    if (out.*field < 0)
        out.*field = q;
}

template <std::string OutputRequest::*field>
void SetEncoderName(OutputRequest &out, const std::string &name, const std::string &value)
{
    if (value.empty())
        BadValue(value, name, "an encoder name is needed");
    out.*field = value;
}

// The encoder checks the value when it is set: each encoder has its own ranges.
void SetEncoderOption(OutputRequest &out, const std::string &name, const std::string &value)
{
    if (value.empty())
        BadValue(value, name, "a value is needed");
    out.videoEncoderOptions.emplace_back(name == "profile:v" ? "profile" : name, value);
}

template <const char *key>
void SetTag(OutputRequest &out, const std::string &, const std::string &value)
{
    out.metadata.emplace_back(key, value);
}

void SetDuration(OutputRequest &out, const std::string &name, const std::string &value)
{
    out.durationUs = ParseDurationUs(value, name);
    if (*out.durationUs <= 0)
        BadValue(value, name, "the length must be greater than zero");
}

void SetFrameRate(OutputRequest &out, const std::string &name, const std::string &value)
{
    AVRational rate{0, 1};
    if (av_parse_video_rate(&rate, value.c_str()) < 0 || rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000)
        BadValue(value, name, "a frame rate such as 25 or 29.97 is needed");
    out.frameRate = rate;
}

void SetFrameSize(OutputRequest &out, const std::string &, const std::string &value)
{
    int w = 0, h = 0;
    if (av_parse_video_size(&w, &h, value.c_str()) < 0 || w <= 0 || h <= 0)
        throw EngineError(Format("Invalid frame size '%s' for option '-s': width and height must be greater than zero",
                                 value.c_str()));
    if (w > 16384 || h > 16384)
        throw EngineError(Format("Invalid frame size '%s' for option '-s': at most 16384x16384", value.c_str()));
    out.geometry.width = w;
    out.geometry.height = h;
}

void SetMap(OutputRequest &out, const std::string &name, const std::string &value)
{
    StreamMap map;
    map.text = value;
    std::string streams = value;
    if (!streams.empty() && streams.back() == '?') {
        map.optional = true;
        streams.pop_back();
    }
    char kind = 0, rest = 0;
    int n = -1, consumed = 0;
    const int fields = std::sscanf(streams.c_str(), "%d:%c%n", &map.input, &kind, &consumed);
    if (fields == 2 && size_t(consumed) < streams.size())
        if (std::sscanf(streams.c_str() + consumed, ":%d%c", &n, &rest) != 1 || n < 0)
            kind = 0;
    if (fields != 2 || map.input < 0 || (kind != 'v' && kind != 'a' && kind != 's'))
        BadValue(value, name, "INPUT:v, INPUT:a or INPUT:s is needed, with :N for one stream and ? when it may match none");
    map.kind = kind;
    map.number = n;
    out.maps.push_back(map);
}

void SetTimestamp(OutputRequest &out, const std::string &name, const std::string &value)
{
    int64_t us = 0;
    if (av_parse_time(&us, value.c_str(), 0) < 0)
        BadValue(value, name, "a date such as 2024-05-01 12:00:00 or \"now\" is needed");
    const time_t seconds = time_t(us / 1000000);
    struct tm tmv;
    char text[64];
    gmtime_r(&seconds, &tmv);
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tmv);
    out.metadata.emplace_back("creation_time", Format("%s.%06dZ", text, int(us % 1000000)));
}

void SetMetadata(OutputRequest &out, const std::string &name, const std::string &value)
{
    const size_t eq = value.find('=');
    if (eq == std::string::npos || eq == 0)
        BadValue(value, name, "KEY=VALUE is needed");
    out.metadata.emplace_back(value.substr(0, eq), value.substr(eq + 1));
}

template <int OutputRequest::*field>
void SetInputNumber(OutputRequest &out, const std::string &name, const std::string &value)
{
    out.*field = ParseInt(value, name, -1, 1000);
}

template <bool OutputRequest::*field>
void SetSwitch(OutputRequest &out, const std::string &name, const std::string &value)
{
    if (value != "0" && value != "1")
        BadValue(value, name, "0 or 1 is needed");
    out.*field = value == "1";
}

void SetDeinterlace(OutputRequest &out, const std::string &name, const std::string &value)
{
    using D = OutputRequest::Deinterlace;
    if (value == "auto")
        out.deinterlace = D::Auto;
    else if (value == "1")
        out.deinterlace = D::Always;
    else if (value == "0")
        out.deinterlace = D::Never;
    else
        BadValue(value, name, "auto, 1 or 0 is needed");
}

void SetLoudness(OutputRequest &out, const std::string &name, const std::string &value)
{
    const double lufs = ParseDouble(value, name);
    if (lufs < -70 || lufs > -5)
        BadValue(value, name, "the loudness must lie between -70 and -5 LUFS, such as -16");
    out.targets.loudness = lufs;
}

void SetTargetSize(OutputRequest &out, const std::string &name, const std::string &value)
{
    out.targets.sizeBytes = ParseTargetSize(value, name, &out.targets.sizeBinary);
}

void SetTargetSsim(OutputRequest &out, const std::string &name, const std::string &value)
{
    const double ssim = ParseDouble(value, name);
    if (!(ssim > 0 && ssim < 1))
        BadValue(value, name, "the SSIM must lie between 0 and 1 (both left out), such as 0.97");
    out.targets.ssim = ssim;
}

constexpr char kTitle[] = "title", kCopyright[] = "copyright", kComment[] = "comment", kAlbum[] = "album",
               kArtist[] = "artist";

struct OptionDef
{
    const char *name;
    bool takesValue;
    Scope scope;
    const char *canonical = nullptr; // the name it stands for, when it is an alias
    OutputSetter output = nullptr;   // what it does as an output option
    bool ownQuality = false;         // an encoder option that puts the encoder in a quality mode of its own
};

const OptionDef kOptions[] = {
    {"y", false, Scope::Global},
    {"threads", true, Scope::Global},
    {"loglevel", true, Scope::Global},
    {"v", true, Scope::Global, "loglevel"},
    {"hide_banner", false, Scope::Global},
    {"nostdin", false, Scope::Global},
    {"i", true, Scope::Input},
    {"f", true, Scope::InputOrOutput, nullptr, [](OutputRequest &out, const std::string &, const std::string &value) { out.format = value; }},
    {"ss", true, Scope::InputOrOutput, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.startUs = ParseDurationUs(value, name); }},
    {"t", true, Scope::InputOrOutput, nullptr, SetDuration},
    {"vcodec", true, Scope::Output, nullptr, SetEncoderName<&OutputRequest::videoCodec>},
    {"c:v", true, Scope::Output, "vcodec"},
    {"codec:v", true, Scope::Output, "vcodec"},
    {"acodec", true, Scope::Output, nullptr, SetEncoderName<&OutputRequest::audioCodec>},
    {"c:a", true, Scope::Output, "acodec"},
    {"codec:a", true, Scope::Output, "acodec"},
    {"vn", false, Scope::Output, nullptr, [](OutputRequest &out, const std::string &, const std::string &) { out.noVideo = true; }},
    {"an", false, Scope::Output, nullptr, [](OutputRequest &out, const std::string &, const std::string &) { out.noAudio = true; }},
    {"b", true, Scope::Output, "vb"},
    {"vb", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.videoBitRate = ParseBitRate(value, name); }},
    {"b:v", true, Scope::Output, "vb"},
    {"ab", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.audioBitRate = ParseBitRate(value, name); }},
    {"b:a", true, Scope::Output, "ab"},
    {"ar", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.sampleRate = ParseInt(value, name, 1000, 768000); }},
    {"ac", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.channels = ParseInt(value, name, 1, 16); }},
    {"r", true, Scope::Output, nullptr, SetFrameRate},
    {"s", true, Scope::Output, nullptr, SetFrameSize},
    {"aspect", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.geometry.aspect = ParseAspect(value, name); }},
    {"padtop", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::padTop, 16384>},
    {"padbottom", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::padBottom, 16384>},
    {"padleft", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::padLeft, 16384>},
    {"padright", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::padRight, 16384>},
    {"croptop", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::cropTop, 65536>},
    {"cropbottom", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::cropBottom, 65536>},
    {"cropleft", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::cropLeft, 65536>},
    {"cropright", true, Scope::Output, nullptr, SetGeometry<&GeometryRequest::cropRight, 65536>},
    {"qmin", true, Scope::Output, nullptr, SetFirstQuantiser<&OutputRequest::qmin>},
    {"qmax", true, Scope::Output, nullptr, SetFirstQuantiser<&OutputRequest::qmax>},
    {"level", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) {
         const int level = ParseLevel(value, name);
         if (out.level < 0)
             out.level = level;
     }},
    {"g", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.gop = ParseInt(value, name, 0, 100000); }},
    {"bf", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) { out.bFrames = ParseInt(value, name, 0, 16); }},
    {"qscale", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) {
         out.qscale = ParseDouble(value, name);
         if (out.qscale <= 0 || out.qscale > 255)
             BadValue(value, name, "a quantiser above 0 is needed");
     }},
    {"q", true, Scope::Output, "qscale"},
    {"pix_fmt", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &, const std::string &value) { out.pixelFormat = value; }},
    {"title", true, Scope::Output, nullptr, SetTag<kTitle>},
    {"author", true, Scope::Output, nullptr, SetTag<kArtist>},
    {"copyright", true, Scope::Output, nullptr, SetTag<kCopyright>},
    {"comment", true, Scope::Output, nullptr, SetTag<kComment>},
    {"album", true, Scope::Output, nullptr, SetTag<kAlbum>},
    {"timestamp", true, Scope::Output, nullptr, SetTimestamp},
    {"metadata", true, Scope::Output, nullptr, SetMetadata},
    {"crf", true, Scope::Output, nullptr, SetEncoderOption, true},
    {"preset", true, Scope::Output, nullptr, SetEncoderOption},
    {"tune", true, Scope::Output, nullptr, SetEncoderOption},
    {"profile:v", true, Scope::Output, nullptr, SetEncoderOption},
    {"vprofile", true, Scope::Output, "profile:v"},
    {"deadline", true, Scope::Output, nullptr, SetEncoderOption},
    {"cpu-used", true, Scope::Output, nullptr, SetEncoderOption},
    {"row-mt", true, Scope::Output, nullptr, SetEncoderOption},
    {"rc_mode", true, Scope::Output, nullptr, SetEncoderOption, true},
    {"qp", true, Scope::Output, nullptr, SetEncoderOption, true},
    {"quality", true, Scope::Output, nullptr, SetEncoderOption},
    {"low_power", true, Scope::Output, nullptr, SetEncoderOption},
    {"rc", true, Scope::Output, nullptr, SetEncoderOption, true},
    {"cq", true, Scope::Output, nullptr, SetEncoderOption, true},
    {"movflags", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) {
         if (value.empty())
             BadValue(value, name, "flags such as +faststart are needed");
         out.muxerOptions.emplace_back(name, value);
     }},
    {"tag:v", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) {
         if (value.size() != 4)
             BadValue(value, name, "four characters such as hvc1 are needed");
         out.videoTag = value;
     }},
    {"vtag", true, Scope::Output, "tag:v"},
    {"vaapi_device", true, Scope::Output, nullptr,
     [](OutputRequest &out, const std::string &name, const std::string &value) {
         if (value.empty())
             BadValue(value, name, "a device such as /dev/dri/renderD128 is needed");
         out.vaapiDevice = value;
     }},
    {"map", true, Scope::Output, nullptr, SetMap},
    {"map_metadata", true, Scope::Output, nullptr, SetInputNumber<&OutputRequest::metadataInput>},
    {"map_chapters", true, Scope::Output, nullptr, SetInputNumber<&OutputRequest::chaptersInput>},
    {"cover_art", true, Scope::Output, nullptr, SetSwitch<&OutputRequest::coverArt>},
    {"genpts", true, Scope::Output, nullptr, SetSwitch<&OutputRequest::generateTimes>},
    {"fix_ts", true, Scope::Output, nullptr, SetSwitch<&OutputRequest::repairTimes>},
    {"deinterlace", true, Scope::Output, nullptr, SetDeinterlace},
    {"fallback_vcodec", true, Scope::Output, nullptr, SetEncoderName<&OutputRequest::fallbackVideoCodec>},
    {"fallback_acodec", true, Scope::Output, nullptr, SetEncoderName<&OutputRequest::fallbackAudioCodec>},
    {"loudness", true, Scope::Output, nullptr, SetLoudness},
    {"target-size", true, Scope::Output, nullptr, SetTargetSize},
    {"target-ssim", true, Scope::Output, nullptr, SetTargetSsim},
};

const OptionDef *FindOption(const std::string &name)
{
    for (const OptionDef &def : kOptions)
        if (name == def.name)
            return &def;
    return nullptr;
}

void ApplyInputOption(InputRequest &in, const std::string &name, const std::string &value)
{
    if (name == "f") {
        in.format = value;
    } else if (name == "ss") {
        in.seekUs = ParseDurationUs(value, name);
    } else if (name == "t") {
        in.limitUs = ParseDurationUs(value, name);
    } else {
        throw EngineError(Format("Option '-%s' cannot be applied to the input file '%s'; give it after the inputs",
                                 name.c_str(), in.path.c_str()));
    }
}

void ApplyOutputOption(OutputRequest &out, const std::string &name, const std::string &value)
{
    if (const OptionDef *def = FindOption(name); def && def->output)
        def->output(out, name, value);
}

// Options that cannot stand together, once all of them are known.
void CheckOutputRequest(const OutputRequest &out)
{
    if (out.targets.sizeBytes > 0 && out.targets.ssim)
        throw EngineError("-target-size and -target-ssim cannot be used together: the one fixes the size, the other "
                          "the picture's quality; give one of them");
}

} // namespace

int64_t ParseBitRate(const std::string &text, const std::string &option)
{
    errno = 0;
    char *end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || errno == ERANGE || !std::isfinite(v))
        BadValue(text, option, "a bit rate such as 128, 128k or 1.5M is needed");
    std::string suffix = end;
    if (suffix == "k" || suffix == "K") {
        v *= 1000;
    } else if (suffix == "M" || suffix == "m") {
        v *= 1000000;
    } else if (suffix.empty()) {
        // Profiles give small numbers in kbit/s and large ones in bit/s.
        if (v < 10000)
            v *= 1000;
    } else {
        BadValue(text, option, "a bit rate such as 128, 128k or 1.5M is needed");
    }
    if (v < 0)
        BadValue(text, option, "it must not be negative");
    if (v > 2e9)
        BadValue(text, option, "it is too large");
    return int64_t(std::llround(v));
}

int64_t ParseDurationUs(const std::string &text, const std::string &option)
{
    int64_t us = 0;
    if (text.empty() || av_parse_time(&us, text.c_str(), 1) < 0)
        BadValue(text, option, "seconds or HH:MM:SS are needed");
    if (us < 0)
        BadValue(text, option, "it must not be negative");
    return us;
}

AVRational ParseAspect(const std::string &text, const std::string &option)
{
    double value = 0;
    const size_t sep = text.find_first_of(":/");
    if (sep != std::string::npos) {
        const double num = ParseDouble(text.substr(0, sep), option);
        const double den = ParseDouble(text.substr(sep + 1), option);
        if (num <= 0 || den <= 0)
            BadValue(text, option, "a ratio above zero is needed");
        value = num / den;
    } else {
        value = ParseDouble(text, option);
        if (value == 0)
            return AVRational{0, 1}; // 0 keeps the source's ratio
    }
    if (!(value > 0) || value > 100)
        BadValue(text, option, "a ratio between 0 and 100 such as 1.333 or 16:9 is needed");
    return av_d2q(value, 255);
}

int ParseLevel(const std::string &text, const std::string &option)
{
    const double v = ParseDouble(text, option);
    if (v <= 0)
        BadValue(text, option, "a level such as 13, 1.3 or 3.1 is needed");
    // "1.3" and "13" both mean level 1.3.
    const int idc = v < 7 ? int(std::lround(v * 10)) : int(std::lround(v));
    if (idc > 99)
        BadValue(text, option, "a level such as 13, 1.3 or 3.1 is needed");
    return idc;
}

int64_t ParseTargetSize(const std::string &text, const std::string &option, bool *binary)
{
    static const char kWhy[] = "a size such as 25M, 700k or 1.5GiB is needed (k, M, G: thousands; KiB, MiB, GiB: 1024s)";
    errno = 0;
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || errno == ERANGE || !std::isfinite(v) || text[0] == '-')
        BadValue(text, option, kWhy);
    static const std::pair<const char *, double> units[] = {
        {"", 1},        {"B", 1},          {"k", 1e3},        {"K", 1e3},        {"kB", 1e3},
        {"KB", 1e3},    {"M", 1e6},        {"MB", 1e6},       {"G", 1e9},        {"GB", 1e9},
        {"KiB", 1024.0}, {"MiB", 1048576.0}, {"GiB", 1073741824.0}};
    const std::string unit = end;
    for (const auto &[name, factor] : units) {
        if (unit != name)
            continue;
        const double bytes = v * factor;
        if (bytes < 1)
            BadValue(text, option, "the size must be greater than zero");
        if (bytes > 1e15)
            BadValue(text, option, "it is too large");
        if (binary)
            *binary = unit.find('i') != std::string::npos;
        return int64_t(std::llround(bytes));
    }
    BadValue(text, option, kWhy);
}

bool OutputRequest::OwnQualityMode() const
{
    for (const auto &[name, value] : videoEncoderOptions)
        if (const OptionDef *def = FindOption(name); def && def->ownQuality)
            return true;
    return false;
}

CommandLine ParseCommandLine(int argc, char **argv)
{
    CommandLine cmd;
    std::vector<std::pair<std::string, std::string>> pending;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-') {
            const std::string given = arg.substr(1);
            const OptionDef *def = FindOption(given);
            if (!def)
                throw EngineError(Format("Unrecognized option '%s'", arg.c_str()));
            const std::string name = def->canonical ? def->canonical : def->name;
            std::string value;
            if (def->takesValue) {
                if (i + 1 >= argc)
                    throw EngineError(Format("Missing argument for option '%s'", arg.c_str()));
                value = argv[++i];
            }
            if (def->scope == Scope::Global) {
                if (name == "y") {
                    cmd.overwrite = true;
                } else if (name == "threads") {
                    cmd.threads = value == "auto" ? 0 : ParseInt(value, name, 0, 64);
                } else if (name == "loglevel") {
                    static const std::pair<const char *, int> levels[] = {
                        {"quiet", AV_LOG_QUIET}, {"panic", AV_LOG_PANIC}, {"fatal", AV_LOG_FATAL},
                        {"error", AV_LOG_ERROR}, {"warning", AV_LOG_WARNING}, {"info", AV_LOG_INFO},
                        {"verbose", AV_LOG_VERBOSE}, {"debug", AV_LOG_DEBUG}};
                    bool found = false;
                    for (const auto &[levelName, level] : levels)
                        if (value == levelName) {
                            cmd.logLevel = level;
                            found = true;
                        }
                    if (!found)
                        cmd.logLevel = ParseInt(value, name, -8, 56);
                }
                continue;
            }
            if (cmd.hasOutput)
                throw EngineError(Format("Option '%s' comes after the output file '%s'; give it before",
                                         arg.c_str(), cmd.output.path.c_str()));
            if (name == "i") {
                InputRequest in;
                in.path = value;
                if (in.path.empty())
                    throw EngineError("Input file name is empty");
                for (const auto &[n, v] : pending)
                    ApplyInputOption(in, n, v);
                pending.clear();
                cmd.inputs.push_back(std::move(in));
                continue;
            }
            pending.emplace_back(name, value);
            continue;
        }
        if (cmd.hasOutput)
            throw EngineError(Format("Only one output file can be written; '%s' follows '%s'", arg.c_str(),
                                     cmd.output.path.c_str()));
        if (arg.empty())
            throw EngineError("Output file name is empty");
        cmd.hasOutput = true;
        cmd.output.path = arg;
        for (const auto &[n, v] : pending)
            ApplyOutputOption(cmd.output, n, v);
        pending.clear();
        CheckOutputRequest(cmd.output);
    }

    if (!pending.empty()) {
        // No output file: the options are still checked, then only the inputs are described.
        OutputRequest unused;
        for (const auto &[n, v] : pending)
            ApplyOutputOption(unused, n, v);
        CheckOutputRequest(unused);
    }
    if (cmd.inputs.empty())
        throw EngineError("No input file given; use -i FILE");
    return cmd;
}

} // namespace mirra
