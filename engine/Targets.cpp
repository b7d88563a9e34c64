#include "Targets.h"

#include "Codecs.h"
#include "Console.h"
#include "Meters.h"
#include "QualityCache.h"
#include "Transcoder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <sys/stat.h>
#include <functional>
#include <map>
#include <unistd.h>

namespace mirra {

namespace {

using Inputs = std::vector<std::unique_ptr<InputFile>>;

// Loudness: the true peak a limited sound aims below, leaving the encoder room, and
// the limits the result must keep.
constexpr double kCeiling = -1.5;       // dBTP
constexpr double kPeakLimit = -1.0;     // dBTP
constexpr double kLoudnessSlack = 0.5;  // LU
constexpr int kLoudnessTrials = 4;
// Size: the share of the target aimed at, and the least a result may fill.
constexpr double kSizeAim = 0.97;
constexpr double kSizeFloor = 0.90;
constexpr int kSizeRetries = 2;
constexpr int64_t kLeastVideoRate = 24000; // bit/s: below this no picture is worth having
// Quality: what the samples aim above the target, and how far the whole file may fall
// below it before it is encoded once more.
constexpr double kSsimMargin = 0.0005;
constexpr double kSsimSlack = 0.0015;

Inputs OpenInputs(const CommandLine &command)
{
    Inputs inputs;
    for (size_t i = 0; i < command.inputs.size(); ++i)
        inputs.push_back(std::make_unique<InputFile>(command.inputs[i], int(i)));
    return inputs;
}

// The output's length in seconds; 0 when no input tells its own.
double OutputSeconds(const CommandLine &command, const Inputs &inputs)
{
    double longest = 0;
    for (const auto &in : inputs) {
        const AVFormatContext *ic = in->context();
        if (ic->duration == AV_NOPTS_VALUE || ic->duration <= 0)
            continue;
        int64_t us = ic->duration - in->request().seekUs - command.output.startUs;
        if (in->request().limitUs)
            us = std::min(us, *in->request().limitUs);
        if (command.output.durationUs)
            us = std::min(us, *command.output.durationUs);
        longest = std::max(longest, double(us) / AV_TIME_BASE);
    }
    return longest;
}

bool IsHardware(const AVCodec *codec)
{
    for (const AVPixelFormat *p = codec->pix_fmts; p && *p != AV_PIX_FMT_NONE; ++p)
        if (*p == AV_PIX_FMT_VAAPI || *p == AV_PIX_FMT_CUDA)
            return true;
    const std::string name = codec->name;
    return (codec->capabilities & AV_CODEC_CAP_HARDWARE) || name.find("_nvenc") != std::string::npos ||
           name.find("_vaapi") != std::string::npos || name.find("_qsv") != std::string::npos;
}

bool IsLossless(const AVCodec *codec)
{
    const AVCodecDescriptor *desc = avcodec_descriptor_get(codec->id);
    return desc && (desc->props & AV_CODEC_PROP_LOSSLESS) && !(desc->props & AV_CODEC_PROP_LOSSY);
}

// Whether an encoder runs two passes on figures it hands out or keeps in a file of its own.
bool HasTwoPasses(const AVCodec *codec)
{
    const std::string name = codec->name;
    return name == "libx264" || name.rfind("libvpx", 0) == 0 || UsesMpegQuantiser(codec);
}

// The options that set an encoder's own quality mode; a bit rate or a searched quality replaces them.
bool IsQualityOption(const std::string &name)
{
    return name == "crf" || name == "qp" || name == "cq" || name == "rc_mode" || name == "rc";
}

std::optional<QualityKnob> KnobFor(const AVCodec *codec, const OutputRequest &out)
{
    const std::string name = codec->name;
    QualityKnob knob;
    if (name == "libx264" || name == "libx264rgb" || name == "libx265") {
        knob = {false, 0, 51, name == "libx265" ? 28 : 23};
    } else if (name == "libvpx-vp9" || name == "libaom-av1" || name == "libsvtav1") {
        knob = {false, 0, 63, name == "libsvtav1" ? 35 : 32};
    } else if (UsesMpegQuantiser(codec) && name != "libxvid") {
        knob = {true, 2, 31, 5};
        if (out.qscale > 0)
            knob.start = std::clamp(int(std::lround(out.qscale)), knob.low, knob.high);
        return knob;
    } else {
        return std::nullopt;
    }
    for (const auto &[option, value] : out.videoEncoderOptions)
        if (option == "crf")
            knob.start = std::clamp(std::atoi(value.c_str()), knob.low, knob.high);
    return knob;
}

// A temporary folder for encoders that keep their first pass's figures in files.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mirracore-XXXXXX";
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~ScratchFolder()
    {
        if (!m_path.empty())
            nftw(m_path.c_str(), [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); },
                 8, FTW_DEPTH | FTW_PHYS);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
    const std::string &path() const
    {
        if (m_path.empty())
            throw EngineError(Format("Cannot make a temporary folder for the encoder's first pass: %s", std::strerror(errno)));
        return m_path;
    }

private:
    std::string m_path;
};

// Loudness of each audio stream, before or after the encoder; SSIM of the pictures.
class Watch : public PassObserver
{
public:
    explicit Watch(bool afterEncoder = false) : m_afterEncoder(afterEncoder) {}

    void AudioToEncoder(int audio, const AVFrame *frame) override
    {
        if (!m_afterEncoder)
            Meter(audio).Add(frame);
    }
    void AudioFromEncoder(int audio, const AVFrame *frame) override
    {
        if (m_afterEncoder)
            Meter(audio).Add(frame);
    }
    void PictureRoundTrip(const AVFrame *original, const AVFrame *decoded) override { m_ssim.Add(original, decoded); }

    size_t AudioCount() const { return m_meters.size(); }
    Loudness LoudnessOf(size_t audio) { return audio < m_meters.size() ? m_meters[audio]->Result() : Loudness(); }
    SsimMeter &Ssim()
    {
        m_ssim.Finish();
        return m_ssim;
    }

private:
    LoudnessMeter &Meter(int audio)
    {
        while (m_meters.size() <= size_t(audio))
            m_meters.push_back(std::make_unique<LoudnessMeter>());
        return *m_meters[size_t(audio)];
    }

    bool m_afterEncoder;
    std::vector<std::unique_ptr<LoudnessMeter>> m_meters;
    SsimMeter m_ssim;
};

// The gain of one audio stream and, when its peaks leave no room, the limiter under it.
struct Leveller
{
    bool active = false;
    std::string why; // when not active
    Loudness source;
    double gain = 0;
    bool limited = false;
    double ceiling = kCeiling;

    std::string Effects() const
    {
        if (!active)
            return {};
        std::string chain = Format("volume=%.2fdB", gain);
        // Four times the rate lets the limiter catch the peaks between the samples too.
        if (limited)
            chain += Format(",aresample=192000,alimiter=limit=%.5f:level=0:latency=1", std::pow(10.0, ceiling / 20));
        return chain;
    }
};

std::string Signed(double value)
{
    return Format("%+.1f", value);
}

class TargetedConversion
{
public:
    TargetedConversion(const CommandLine &command, Inputs &inputs)
        : m_command(command), m_base(command), m_targets(command.output.targets), m_inputs(inputs),
          m_seconds(OutputSeconds(command, inputs)), m_scale(m_seconds)
    {
    }

    void Run();

private:
    void Convert();
    // One pass: a command of its own, fresh inputs, a transcoder kept until the pass is judged.
    struct Pass
    {
        std::unique_ptr<CommandLine> command;
        std::unique_ptr<Inputs> inputs;
        std::unique_ptr<Transcoder> transcoder;
        Transcoder *operator->() const { return transcoder.get(); }
    };

    void Survey();
    void Check() const;
    Pass RunPass(const CommandLine &command, const PassPlan &plan, double weight, double mediaSeconds);
    CommandLine SoundOnly() const;
    CommandLine PictureOnly() const;
    PassPlan TrialPlan() const;
    std::vector<std::string> Effects() const;

    void Level();
    void FitSize();
    void SearchQuality();
    double ScoreSamples(int value);
    void ApplyKnob(OutputRequest &out, int value) const;
    // The output itself, once or again; the plan says which pass of the encoder and what is measured.
    Pass WriteOutput(CommandLine command, PassPlan plan, double weight, Watch &watch);
    void NoteLoudness(Watch &watch);
    std::string KnobName(int value) const;

    const CommandLine &m_command;
    CommandLine m_base; // what every pass converts: copied sound is encoded again when its loudness changes
    const TargetRequest m_targets;
    Inputs &m_inputs;
    const double m_seconds;
    PassProgress m_scale;
    double m_workLeft = 1; // the passes still to come, one encoding of the whole output counting 1

    const AVOutputFormat *m_format = nullptr;
    const AVCodec *m_videoEncoder = nullptr; // null: no video, or copied
    const AVCodec *m_audioEncoder = nullptr;
    bool m_hasVideo = false;
    bool m_hasAudio = false;
    bool m_videoCopied = false;
    std::optional<QualityKnob> m_knob;

    std::vector<Leveller> m_levellers;
    int64_t m_soundBytes = -1; // the encoded sound's bytes, once a pass has made all of it
    std::vector<SampleWindow> m_windows;
    double m_sampleWeight = 0;

    Pass m_final;
    bool m_outputWritten = false;
    std::vector<std::string> m_notes;
};

TargetedConversion::Pass TargetedConversion::RunPass(const CommandLine &command, const PassPlan &given, double weight,
                                                     double mediaSeconds)
{
    Pass pass;
    pass.command = std::make_unique<CommandLine>(command);
    pass.inputs = std::make_unique<Inputs>(OpenInputs(command));
    m_workLeft = std::max(m_workLeft, weight);
    m_scale.Begin(mediaSeconds, weight / m_workLeft);
    PassPlan plan = given;
    plan.scale = &m_scale;
    pass.transcoder = std::make_unique<Transcoder>(*pass.command, *pass.inputs, plan);
    pass.transcoder->Run();
    m_workLeft = std::max(m_workLeft - weight, 0.01);
    return pass;
}

// A trial never keeps its file, and the container's own finishing touches need a real one.
PassPlan TargetedConversion::TrialPlan() const
{
    PassPlan plan;
    plan.announce = false;
    plan.conclude = false;
    plan.discard = true;
    plan.audioEffects = Effects();
    return plan;
}

CommandLine TargetedConversion::SoundOnly() const
{
    CommandLine command = m_base;
    command.output.noVideo = true;
    command.output.muxerOptions.clear();
    std::erase_if(command.output.maps, [](const StreamMap &map) { return map.kind != 'a'; });
    return command;
}

CommandLine TargetedConversion::PictureOnly() const
{
    CommandLine command = m_base;
    command.output.noAudio = true;
    command.output.muxerOptions.clear();
    std::erase_if(command.output.maps, [](const StreamMap &map) { return map.kind != 'v'; });
    return command;
}

std::vector<std::string> TargetedConversion::Effects() const
{
    std::vector<std::string> effects;
    for (const Leveller &leveller : m_levellers)
        effects.push_back(leveller.Effects());
    return effects;
}

// What the output will hold and which encoders make it, as the conversion itself decides.
void TargetedConversion::Survey()
{
    const OutputRequest &out = m_command.output;
    m_format = ResolveOutputFormat(out.format, out.path);
    const auto offered = [&](AVMediaType type) {
        const char kind = type == AVMEDIA_TYPE_VIDEO ? 'v' : 'a';
        for (const auto &in : m_inputs) {
            if (in->BestStream(type) < 0)
                continue;
            if (out.maps.empty())
                return true;
            for (const StreamMap &map : out.maps)
                if (map.kind == kind && map.input == in->index())
                    return true;
        }
        return false;
    };
    m_hasVideo = !out.noVideo && ContainerTakesVideo(m_format) && offered(AVMEDIA_TYPE_VIDEO);
    m_hasAudio = !out.noAudio && ContainerTakesAudio(m_format) && offered(AVMEDIA_TYPE_AUDIO);
    m_videoCopied = m_hasVideo && out.videoCodec == "copy";
    if (m_hasVideo && !m_videoCopied)
        m_videoEncoder = out.videoCodec.empty() ? DefaultEncoder(m_format, AVMEDIA_TYPE_VIDEO)
                                                : FindEncoder(out.videoCodec, AVMEDIA_TYPE_VIDEO);

    // Copied sound whose loudness changes is encoded again, in its own codec where the container takes it.
    OutputRequest &base = m_base.output;
    if (m_hasAudio && out.audioCodec == "copy" && m_targets.loudness) {
        const AVCodecParameters *source = nullptr;
        for (const auto &in : m_inputs)
            if (const int a = in->BestStream(AVMEDIA_TYPE_AUDIO); a >= 0 && !source)
                source = in->context()->streams[a]->codecpar;
        const AVCodec *codec = nullptr;
        try {
            codec = FindEncoder(avcodec_get_name(source->codec_id), AVMEDIA_TYPE_AUDIO);
        } catch (const EngineError &) {
        }
        if (!codec || IsLossless(codec) || avformat_query_codec(m_format, codec->id, FF_COMPLIANCE_NORMAL) != 1)
            codec = DefaultEncoder(m_format, AVMEDIA_TYPE_AUDIO);
        if (!codec)
            throw EngineError(Format("-loudness needs the sound to be encoded again, and %s files have no audio encoder",
                                     m_format->name));
        base.audioCodec = codec->name;
        if (base.audioBitRate <= 0 && source->bit_rate > 0)
            base.audioBitRate = std::clamp<int64_t>(source->bit_rate, 96000, 320000);
    }
    if (m_hasAudio && base.audioCodec != "copy")
        m_audioEncoder = base.audioCodec.empty() ? DefaultEncoder(m_format, AVMEDIA_TYPE_AUDIO)
                                                 : FindEncoder(base.audioCodec, AVMEDIA_TYPE_AUDIO);
    if (m_videoEncoder)
        m_knob = KnobFor(m_videoEncoder, out);
}

// Refusals that cost no pass: each says what would work instead.
void TargetedConversion::Check() const
{
    const OutputRequest &out = m_command.output;
    struct stat target{}, source{};
    for (const InputRequest &in : m_command.inputs)
        if (stat(in.path.c_str(), &source) == 0 && stat(out.path.c_str(), &target) == 0 && source.st_dev == target.st_dev &&
            source.st_ino == target.st_ino)
            throw EngineError(Format("The output file '%s' is the input file; choose another name", out.path.c_str()));
    if (!m_command.overwrite && access(out.path.c_str(), F_OK) == 0)
        throw EngineError(Format("File '%s' already exists; use -y to overwrite it", out.path.c_str()));
    const std::string input = m_command.inputs.front().path;
    if (m_targets.ssim) {
        if (!m_hasVideo)
            throw EngineError(Format("-target-ssim needs pictures to compare, and the output '%s' has no video", out.path.c_str()));
        if (m_videoCopied)
            throw EngineError("-target-ssim needs the video to be encoded; it cannot be used with -vcodec copy");
        if (!m_knob || IsHardware(m_videoEncoder))
            throw EngineError(Format("-target-ssim needs an encoder with a constant quality to search (libx264, libx265, "
                                     "libvpx-vp9, libsvtav1, or an MPEG-4 family encoder); %s has none",
                                     m_videoEncoder->name));
    }
    if (m_targets.sizeBytes > 0) {
        if (m_videoCopied)
            throw EngineError("-target-size needs the video to be encoded; it cannot be used with -vcodec copy");
        if (m_videoEncoder && IsHardware(m_videoEncoder))
            throw EngineError(Format("-target-size cannot steer the graphics card's encoder %s; use a software encoder",
                                     m_videoEncoder->name));
        if (!m_hasVideo && !m_hasAudio)
            throw EngineError(Format("-target-size: the output '%s' would hold neither video nor audio", out.path.c_str()));
        if (!m_hasVideo && !m_audioEncoder)
            throw EngineError("-target-size needs the sound to be encoded; it cannot be used with -acodec copy");
        if (!m_hasVideo && IsLossless(m_audioEncoder))
            throw EngineError(Format("-target-size cannot fit %s sound: its size follows the length, not a bit rate; "
                                     "choose a lossy codec such as AAC, MP3 or Opus",
                                     m_audioEncoder->name));
    }
    if ((m_targets.sizeBytes > 0 || m_targets.ssim) && m_seconds <= 0)
        throw EngineError(Format("%s needs the length of '%s', which the file does not tell",
                                 m_targets.ssim ? "-target-ssim" : "-target-size", input.c_str()));
}

void TargetedConversion::Run()
{
    try {
        Convert();
    } catch (...) {
        // An output that did not come out as asked is no result.
        if (m_outputWritten)
            std::remove(m_command.output.path.c_str());
        throw;
    }
}

void TargetedConversion::Convert()
{
    Survey();
    Check();
    // The work ahead, one encoding of the output counting 1; each pass takes its share.
    const double soundPass = m_hasVideo ? 0.04 : 0.4;
    m_workLeft = 1;
    if (m_targets.loudness && m_hasAudio)
        m_workLeft += 2 * soundPass;
    if (m_targets.sizeBytes > 0)
        m_workLeft += (m_hasVideo && HasTwoPasses(m_videoEncoder) ? 0.6 : 0) + 0.3;
    if (m_targets.ssim) {
        m_windows = SampleWindows(m_seconds);
        double sampled = 0;
        for (const SampleWindow &window : m_windows)
            sampled += window.length;
        // Encoding, decoding again and comparing cost about a third more than encoding
        // alone; a search takes about four settings.
        m_sampleWeight = 1.3 * sampled / m_seconds;
        m_workLeft += 4 * m_sampleWeight + 0.1;
    }

    if (m_targets.loudness)
        Level();
    if (m_targets.sizeBytes > 0)
        FitSize();
    else if (m_targets.ssim)
        SearchQuality();
    else {
        Watch watch(true);
        m_final = WriteOutput(m_base, PassPlan(), m_workLeft, watch);
        NoteLoudness(watch);
    }
    m_scale.Begin(m_seconds, 1);
    m_final->Conclude(m_notes);
}

TargetedConversion::Pass TargetedConversion::WriteOutput(CommandLine command, PassPlan plan, double weight, Watch &watch)
{
    // A later attempt replaces what an earlier one wrote.
    if (m_outputWritten)
        command.overwrite = true;
    plan.announce = !m_outputWritten;
    plan.conclude = false;
    plan.audioEffects = Effects();
    plan.decodeAudio = !m_levellers.empty();
    plan.observer = &watch;
    m_final = Pass();
    Pass pass = RunPass(command, plan, weight, m_seconds);
    m_outputWritten = true;
    return pass;
}

// ------------------------------------------------------------------ loudness

void TargetedConversion::Level()
{
    const double target = *m_targets.loudness;
    if (!m_hasAudio) {
        m_notes.push_back(Format("loudness not normalised: the output has no sound (target %g LUFS)", target));
        return;
    }
    // The sound as it would reach the encoder, measured without encoding it.
    Watch before;
    PassPlan measure = TrialPlan();
    measure.encodeAudio = false;
    measure.observer = &before;
    RunPass(SoundOnly(), measure, m_hasVideo ? 0.04 : 0.4, m_seconds);

    bool anyLimited = false;
    for (size_t a = 0; a < before.AudioCount(); ++a) {
        Leveller leveller;
        leveller.source = before.LoudnessOf(a);
        if (leveller.source.Silent()) {
            leveller.why = "the sound is silent";
        } else {
            leveller.active = true;
            leveller.gain = target - leveller.source.integrated;
            leveller.limited = leveller.source.truePeak + leveller.gain > kCeiling - 0.5;
            anyLimited = anyLimited || leveller.limited;
        }
        m_levellers.push_back(leveller);
    }
    if (!anyLimited)
        return;

    // A limiter takes loudness away with the peaks: the gain is raised until the
    // encoded sound lands on the target, and the ceiling lowered should the encoder
    // let peaks through.
    double bestError = 1e9;
    std::vector<Leveller> best = m_levellers;
    for (int trial = 0; trial < kLoudnessTrials; ++trial) {
        Watch after(true);
        PassPlan plan = TrialPlan();
        plan.decodeAudio = true;
        plan.observer = &after;
        if (trial > 0)
            m_workLeft += m_hasVideo ? 0.04 : 0.4;
        Pass pass = RunPass(SoundOnly(), plan, m_hasVideo ? 0.04 : 0.4, m_seconds);
        const std::vector<Leveller> tried = m_levellers;
        double error = 0;
        bool done = true;
        for (size_t a = 0; a < m_levellers.size(); ++a) {
            Leveller &leveller = m_levellers[a];
            if (!leveller.active)
                continue;
            const Loudness reached = after.LoudnessOf(a);
            const double off = target - reached.integrated;
            const double over = reached.truePeak - (kPeakLimit - 0.05);
            // A peak over the limit weighs more than a tenth of a unit of loudness off.
            error = std::max({error, std::abs(off), over > 0 ? 10 * over : 0.0});
            if (std::abs(off) > 0.6 * kLoudnessSlack || over > 0)
                done = false;
            leveller.gain += std::clamp(off, -12.0, 12.0);
            if (over > 0)
                leveller.ceiling -= over + 0.2;
        }
        if (error < bestError) {
            bestError = error;
            best = tried;
            m_soundBytes = pass->AudioBytes();
        }
        if (done)
            break;
    }
    m_levellers = best;
}

void TargetedConversion::NoteLoudness(Watch &watch)
{
    if (m_levellers.empty())
        return;
    const double target = *m_targets.loudness;
    for (size_t a = 0; a < m_levellers.size(); ++a) {
        const Leveller &leveller = m_levellers[a];
        const std::string which = m_levellers.size() > 1 ? Format("of audio %d ", int(a) + 1) : std::string();
        if (!leveller.active) {
            m_notes.push_back(Format("loudness %snot normalised: %s (target %g LUFS)", which.c_str(),
                                     leveller.why.c_str(), target));
            continue;
        }
        const Loudness reached = watch.LoudnessOf(a);
        m_notes.push_back(Format("loudness %s%.1f LUFS, true peak %.1f dBTP (target %g LUFS; the source %.1f LUFS, true "
                                 "peak %.1f dBTP, range %.1f LU; gain %s dB%s)",
                                 which.c_str(), reached.integrated, reached.truePeak, target, leveller.source.integrated,
                                 leveller.source.truePeak, leveller.source.range, Signed(leveller.gain).c_str(),
                                 leveller.limited ? " under the peak limiter" : ""));
    }
}

// ------------------------------------------------------------------ size

void TargetedConversion::FitSize()
{
    const int64_t target = m_targets.sizeBytes;
    const bool binary = m_targets.sizeBinary;
    // The container's own bytes: headers, an index entry per packet.
    AVRational rate = m_base.output.frameRate;
    if (rate.num <= 0)
        rate = AVRational{30, 1};
    const double packets = m_seconds * ((m_hasVideo ? av_q2d(rate) : 0) + (m_hasAudio ? 50 : 0));
    const double perPacket = NameIn(m_format->name, {"avi"}) ? 24 : NameIn(m_format->name, {"flv"}) ? 16 : 10;
    // MPEG program streams wrap everything in packs of their own.
    const double wrapping = NameIn(m_format->name, {"mpeg", "vob", "dvd", "svcd", "vcd", "mpegts"}) ? 0.03 : 0.002;
    const int64_t overhead = int64_t(2048 + packets * perPacket + wrapping * double(target));

    if (!m_hasVideo) {
        const int64_t least = m_audioEncoder->id == AV_CODEC_ID_OPUS ? 8000 : 16000;
        const int64_t need = int64_t(std::ceil((double(least) * m_seconds / 8 + double(overhead)) / kSizeAim));
        if (target < need)
            throw EngineError(Format("The target size %s is too small for %.1f s of sound; the smallest size that "
                                     "could work is %s", SizeText(target, binary).c_str(), m_seconds,
                                     SizeText(need, binary).c_str()));
    }

    CommandLine command = m_base;
    OutputRequest &out = command.output;
    if (m_hasVideo) {
        // The sound keeps its rate; what it takes is measured by encoding it alone.
        if (m_hasAudio && m_soundBytes < 0) {
            Pass sound = RunPass(SoundOnly(), TrialPlan(), m_hasVideo ? 0.04 : 0.4, m_seconds);
            m_soundBytes = sound->AudioBytes();
        }
        const int64_t sound = std::max<int64_t>(m_soundBytes, 0);
        const int64_t leastVideo = int64_t(double(kLeastVideoRate) * m_seconds / 8);
        const double pictures = kSizeAim * double(target) - double(sound) - double(overhead);
        if (pictures < double(leastVideo)) {
            const int64_t need = int64_t(std::ceil((double(sound + overhead + leastVideo)) / kSizeAim));
            throw EngineError(Format("The target size %s is too small for %.1f s: the sound alone takes %s; the smallest "
                                     "size that could work is %s",
                                     SizeText(target, binary).c_str(), m_seconds, SizeText(sound, binary).c_str(),
                                     SizeText(need, binary).c_str()));
        }
        out.videoBitRate = int64_t(pictures * 8 / m_seconds);
        std::erase_if(out.videoEncoderOptions, [](const auto &option) { return IsQualityOption(option.first); });
        out.qscale = -1;
    } else {
        out.audioBitRate = int64_t((kSizeAim * double(target) - double(overhead)) * 8 / m_seconds);
        out.audioBitRate = std::min<int64_t>(out.audioBitRate, m_audioEncoder->id == AV_CODEC_ID_MP3 ? 320000 : 512000);
    }

    ScratchFolder scratch;
    std::string stats;
    PassPlan second;
    if (m_hasVideo && HasTwoPasses(m_videoEncoder)) {
        // The first pass learns where the pictures need their bits; every later try reads it.
        CommandLine first = PictureOnly();
        first.output.videoBitRate = out.videoBitRate;
        first.output.videoEncoderOptions = out.videoEncoderOptions;
        first.output.qscale = -1;
        PassPlan plan = TrialPlan();
        plan.videoPass = 1;
        plan.stats = &stats;
        if (std::string(m_videoEncoder->name) == "libx264")
            plan.statsFile = scratch.path() + "/x264.log";
        RunPass(first, plan, 0.6, m_seconds);
        second.videoPass = 2;
        second.stats = &stats;
        second.statsFile = plan.statsFile;
    }

    int64_t lastMedia = -1;
    for (int attempt = 0;; ++attempt) {
        Watch watch(true);
        if (attempt > 0)
            m_workLeft += 1;
        command.output = out;
        m_final = WriteOutput(command, second, attempt == 0 ? std::max(m_workLeft - 0.3, 1.0) : 1, watch);
        const int64_t bytes = m_final->FileBytes();
        const int64_t media = m_hasVideo ? m_final->VideoBytes() : m_final->AudioBytes();
        const int64_t rest = bytes - media;
        const double share = double(bytes) / double(target);
        const bool fits = bytes <= target && share >= kSizeFloor;
        // A picture that needs no more stays smaller however many bits it is offered.
        const bool saturated = share < kSizeFloor && lastMedia > 0 && double(media) < 1.05 * double(lastMedia);
        if (fits || saturated || (attempt == kSizeRetries && bytes <= target)) {
            NoteLoudness(watch);
            m_notes.push_back(Format("size %s (target %s, %.1f %%%s%s)", SizeText(bytes, binary).c_str(),
                                     SizeText(target, binary).c_str(), share * 100,
                                     attempt > 0 ? Format("; encoded %d times", attempt + 1).c_str() : "",
                                     share < kSizeFloor ? "; the content needs no more" : ""));
            return;
        }
        if (attempt == kSizeRetries)
            throw EngineError(Format("The output came out at %s, over the target size %s, after %d tries",
                                     SizeText(bytes, binary).c_str(), SizeText(target, binary).c_str(), attempt + 1));
        lastMedia = media;
        const double wanted = kSizeAim * double(target) - double(rest);
        const double factor = std::clamp(wanted / double(std::max<int64_t>(media, 1)), 0.2, 5.0);
        if (m_hasVideo)
            out.videoBitRate = std::max<int64_t>(int64_t(double(out.videoBitRate) * factor), kLeastVideoRate);
        else
            out.audioBitRate = std::max<int64_t>(int64_t(double(out.audioBitRate) * factor), 8000);
    }
}

// ------------------------------------------------------------------ quality

// The highest setting whose score reaches the aim, the score falling as the setting rises.
// The loss 1 - SSIM grows about exponentially with the setting, so the next setting
// tried is read off a straight line through the logarithms of the two nearest scores.
int SearchHighestPassing(const QualityKnob &knob, double aim, const std::map<int, double> &known,
                         const std::function<double(int)> &score)
{
    std::map<int, double> seen = known;
    const auto loss = [](double ssim) { return std::log(std::max(1.0 - ssim, 1e-7)); };
    const double goal = loss(aim);
    std::optional<int> pass, fail; // highest setting reaching the aim, lowest one missing it
    const auto classify = [&](int v, double s) {
        if (s >= aim) {
            if (!pass || v > *pass)
                pass = v;
        } else if (!fail || v < *fail) {
            fail = v;
        }
    };
    for (const auto &[v, s] : seen)
        classify(v, s);
    const auto probe = [&](int v) {
        const double s = score(v);
        seen[v] = s;
        classify(v, s);
    };
    if (!pass && !fail)
        probe(knob.start);
    // A first guess of how fast the loss grows per step, until two scores tell.
    const double guessedSlope = knob.quantiser ? 0.12 : 0.09;
    for (int round = 0; round < 10; ++round) {
        if ((pass && fail && *fail - *pass <= 1) || (pass && *pass >= knob.high) || (fail && *fail <= knob.low))
            break;
        // The two scores nearest the aim on either side, or the two nearest one side.
        int a, b;
        if (pass && fail) {
            a = *pass;
            b = *fail;
        } else {
            const int edge = pass ? *pass : *fail;
            a = b = edge;
            for (const auto &[v, s] : seen)
                if (v != edge && (pass ? v < edge : v > edge) && (a == edge || std::abs(v - edge) < std::abs(a - edge)))
                    a = v;
        }
        double slope = guessedSlope;
        if (a != b && std::abs(loss(seen[b]) - loss(seen[a])) > 1e-9)
            slope = (loss(seen[b]) - loss(seen[a])) / double(b - a);
        if (!(slope > 0.005))
            slope = guessedSlope;
        const int from = pass ? *pass : *fail;
        const double predicted = double(from) + (goal - loss(seen[from])) / slope;
        int next = int(std::floor(predicted));
        const int lowest = pass ? *pass + 1 : knob.low;
        const int highest = fail ? *fail - 1 : knob.high;
        // Never far past what is known, never a setting tried before.
        next = std::clamp(next, std::max(lowest, from - 12), std::min(highest, from + 12));
        if (seen.count(next))
            next = pass ? std::min(*pass + 1, highest) : std::max(*fail - 1, lowest);
        probe(next);
    }
    return pass ? *pass : knob.low;
}

void TargetedConversion::ApplyKnob(OutputRequest &out, int value) const
{
    out.videoBitRate = 0;
    if (m_knob->quantiser) {
        out.qscale = value;
        return;
    }
    out.qscale = -1;
    std::erase_if(out.videoEncoderOptions, [](const auto &option) { return IsQualityOption(option.first); });
    out.videoEncoderOptions.emplace_back("crf", std::to_string(value));
}

std::string TargetedConversion::KnobName(int value) const
{
    return Format("%s %d", m_knob->quantiser ? "quantiser" : "CRF", value);
}

// The mean SSIM of the samples encoded at one setting.
double TargetedConversion::ScoreSamples(int value)
{
    Watch watch;
    for (const SampleWindow &window : m_windows) {
        CommandLine command = PictureOnly();
        OutputRequest &out = command.output;
        out.startUs = m_base.output.startUs + int64_t(window.start * AV_TIME_BASE);
        out.durationUs = int64_t(window.length * AV_TIME_BASE);
        ApplyKnob(out, value);
        PassPlan plan = TrialPlan();
        plan.decodeVideo = true;
        plan.observer = &watch;
        RunPass(command, plan, m_sampleWeight / double(m_windows.size()), window.length);
    }
    const SsimMeter &ssim = watch.Ssim();
    if (ssim.Count() == 0)
        throw EngineError("The samples gave no pictures to compare");
    return ssim.Sum() / double(ssim.Count());
}

void TargetedConversion::SearchQuality()
{
    const double target = *m_targets.ssim;
    const QualityKnob knob = *m_knob;
    // Scores measured before on the same file with the same settings are not measured again.
    QualityCache cache(QualityCacheKey(m_command, m_windows));
    std::map<int, double> &scores = cache.Scores();
    const auto score = [&](int value) {
        if (!scores.count(value)) {
            scores[value] = ScoreSamples(value);
            cache.Save();
        }
        return scores[value];
    };
    int value = SearchHighestPassing(knob, target + kSsimMargin, scores, score);
    Watch watch(true);
    CommandLine command = m_base;
    ApplyKnob(command.output, value);
    PassPlan compare;
    compare.decodeVideo = true;
    m_final = WriteOutput(command, compare, 1.1, watch);
    SsimMeter &ssim = watch.Ssim();
    double reached = ssim.Count() ? ssim.Sum() / double(ssim.Count()) : 0;
    // The samples stand for the whole file; when the file falls short of them, the search
    // is made again for a target raised by what they missed, and the file encoded once more.
    if (reached < target - kSsimSlack && value > knob.low) {
        const double missed = score(value) - reached;
        value = std::min(SearchHighestPassing(knob, target + missed + kSsimMargin, scores, score), value - 1);
        Watch again(true);
        command = m_base;
        ApplyKnob(command.output, value);
        m_workLeft += 1.1;
        m_final = WriteOutput(command, compare, 1.1, again);
        SsimMeter &second = again.Ssim();
        reached = second.Count() ? second.Sum() / double(second.Count()) : 0;
        NoteLoudness(again);
    } else {
        NoteLoudness(watch);
    }
    const char *shortfall = reached >= target - kSsimSlack ? "" : value == knob.low ? "; the best this encoder reaches" : "; short of it";
    m_notes.push_back(Format("SSIM %.3f at %s (target %g%s)", reached, KnobName(value).c_str(), target, shortfall));
}

} // namespace

std::vector<SampleWindow> SampleWindows(double seconds)
{
    constexpr double kWhole = 10, kLength = 2;
    if (seconds <= kWhole)
        return {{0, seconds}};
    const int count = std::clamp(int(seconds / 20) + 2, 3, 8);
    std::vector<SampleWindow> windows;
    for (int k = 0; k < count; ++k) {
        const double middle = (k + 0.5) * seconds / count;
        windows.push_back({std::clamp(middle - kLength / 2, 0.0, seconds - kLength), kLength});
    }
    return windows;
}

std::string SizeText(int64_t bytes, bool binary)
{
    const double unit = binary ? 1024.0 : 1000.0;
    static const char *const decimal[] = {"bytes", "kB", "MB", "GB", "TB"};
    static const char *const powers[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double value = double(bytes);
    int i = 0;
    while (value >= unit && i < 4) {
        value /= unit;
        ++i;
    }
    if (i == 0)
        return Format("%lld bytes", static_cast<long long>(bytes));
    return Format(value < 10 ? "%.2f %s" : value < 100 ? "%.1f %s" : "%.0f %s", value, binary ? powers[i] : decimal[i]);
}

void ConvertToTargets(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs)
{
    TargetedConversion conversion(command, inputs);
    conversion.Run();
}

} // namespace mirra
