#pragma once
// One conversion: the chosen input streams are decoded, filtered, encoded and
// written to the output file (or copied as they are), with progress lines while
// it runs and the summary line when it succeeded.

#include "FieldCheck.h"
#include "Geometry.h"
#include "InputFile.h"
#include "LibAv.h"
#include "Options.h"
#include "Progress.h"

#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace mirra {

// What a targeted conversion watches during one of its passes.
class PassObserver
{
public:
    virtual ~PassObserver() = default;
    // Sound of the output's audio stream number `audio` (0 for the first) on its way to the encoder.
    virtual void AudioToEncoder(int audio, const AVFrame *frame) = 0;
    // The same sound decoded back from what the encoder made of it.
    virtual void AudioFromEncoder(int audio, const AVFrame *frame) = 0;
    // A picture as it went to the encoder, and as it decodes from the encoder's output.
    virtual void PictureRoundTrip(const AVFrame *original, const AVFrame *decoded) = 0;
};

// One pass of a conversion; the defaults make the plain conversion.
struct PassPlan
{
    bool announce = true;      // describes the output and prints the notes about it
    bool conclude = true;      // ends with the last progress line and the summary line
    bool discard = false;      // the muxer writes into a sink that only counts the bytes
    bool encodeAudio = true;   // false: the sound goes only as far as the observer
    bool decodeAudio = false;  // the encoder's sound is decoded again for the observer
    bool decodeVideo = false;  // the encoder's pictures are decoded again for the observer
    // Per audio stream of the output, filters the sound passes before its encoder's format.
    std::vector<std::string> audioEffects;
    PassObserver *observer = nullptr;
    PassProgress *scale = nullptr;
    int videoPass = 0;             // 1 or 2: one of the video encoder's two passes
    std::string *stats = nullptr;  // the first pass's figures, for encoders that hand them out
    std::string statsFile;         // where encoders that write their own figures keep them
};

class Transcoder
{
public:
    Transcoder(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs,
               const PassPlan &plan = PassPlan());
    ~Transcoder();
    Transcoder(const Transcoder &) = delete;
    Transcoder &operator=(const Transcoder &) = delete;

    // Throws EngineError; a partly written output file is removed again.
    void Run();
    // The last progress line, notes about what was reached, and the summary, for a pass
    // planned without them.
    void Conclude(const std::vector<std::string> &notes = {});

    // What was written: the whole file (or what the sink counted), its pictures and its sound.
    int64_t FileBytes() const { return m_fileBytes; }
    int64_t VideoBytes() const { return m_progress.videoBytes(); }
    int64_t AudioBytes() const { return m_progress.audioBytes(); }

private:
    struct Stream;
    struct DiscardSink;

    void Setup();
    void SelectStreams(const AVOutputFormat *format);
    void CheckOutputPath();
    Stream &AddStream(AVMediaType type, InputFile *input, int streamIndex);
    void SelectMappedStreams(const AVOutputFormat *format, bool wantVideo, bool wantAudio);
    // Copies the container cannot hold become encodes with the fallback encoder.
    void ChooseCopies(const AVOutputFormat *format);
    // Generated presentation times, and no reading of streams nobody wants.
    void PrepareReading();
    void SetupSubtitles(Stream &s, const AVOutputFormat *format);
    void HandleSubtitlePacket(Stream &s, AVPacket *pkt);
    void OpenDecoder(Stream &s);
    void SetupVideo(Stream &s, const AVOutputFormat *format);
    // The source as the filters see it, the graphics card when the encoder needs one, the layout.
    void PlanVideo(Stream &s, const AVOutputFormat *format, AVRational rate);
    void OpenVideoEncoder(Stream &s, AVRational rate);
    AVDictionary *VideoRateControl(AVCodecContext *enc, const AVCodec *codec, AVRational rate, bool hardware) const;
    // Whether the pictures are made progressive: the stream's field order, and where that
    // does not settle it, what idet sees in the first seconds.
    VideoLayout::Deinterlace PlanFields(Stream &s);
    void SetFieldOrder(Stream &s, AVCodecContext *enc) const;
    void SetupAudio(Stream &s, const AVOutputFormat *format);
    void SetupCopy(Stream &s, const AVOutputFormat *format);
    void BuildVideoGraph(Stream &s);
    void BuildAudioGraph(Stream &s);
    void BuildGraph(Stream &s, const char *sourceFilter, const char *sinkFilter, const std::string &sourceArgs,
                    const std::string &chain);
    void CopyMetadata();
    void CopyChapters();
    void AddCoverArt(const AVOutputFormat *format);
    void OpenOutputFile();
    void WriteCoverArt();

    void ReadLoop();
    InputFile *NextInput();
    // The next packet of an input: first those read ahead, then from its file.
    int ReadPacket(InputFile *input, AVPacket *pkt);
    // Reads ahead on the stream's input, through the field check, up to its first seconds.
    FieldCounts ReadAheadFields(Stream &s);
    bool InputWanted(const InputFile *input) const;
    void EndInput(InputFile *input);
    void EndStream(Stream &s);
    void HandlePacket(Stream &s, AVPacket *pkt);
    void CopyPacket(Stream &s, AVPacket *pkt);
    void ReceiveDecodedFrames(Stream &s);
    void HandleDecodedFrame(Stream &s, AVFrame *frame);
    bool SourceChanged(const Stream &s, const AVFrame *frame) const;
    void PullFiltered(Stream &s);
    void EncodeFrame(Stream &s, AVFrame *frame);
    void ReceivePackets(Stream &s);
    void WritePacket(Stream &s, AVPacket *pkt);
    // Decoding times that go backwards are moved just after the last one written; false
    // for a packet without any time, which cannot be placed.
    bool PlaceInTime(Stream &s, AVPacket *pkt);
    void Finish();
    void OpenCheckDecoder(Stream &s);
    void DecodeCheck(Stream &s, const AVPacket *pkt);
    int64_t Continuous(Stream &s, int64_t ts);
    std::string WriteFailure(int averror) const;

    const CommandLine &m_command;
    const PassPlan m_plan;
    std::unique_ptr<DiscardSink> m_sink;
    int64_t m_fileBytes = 0;
    int64_t m_headerBytes = 0;
    const OutputRequest &m_out;
    std::vector<std::unique_ptr<InputFile>> &m_inputs;
    std::vector<std::unique_ptr<Stream>> m_streams;
    std::vector<std::vector<Stream *>> m_streamOfInput; // [input][input stream] -> output stream or null
    std::vector<bool> m_inputEnded;
    std::vector<int64_t> m_inputLastUs;
    std::optional<int64_t> m_endUs; // output length limit
    OutputContextPtr m_output;
    bool m_fileCreated = false;
    bool m_finished = false;
    Progress m_progress;
    FramePtr m_frame;
    FramePtr m_filtered;
    PacketPtr m_packet;
    PacketPtr m_encoded;
    int64_t m_decodeErrors = 0;
    std::vector<std::deque<PacketPtr>> m_readAhead; // per input: packets read before converting began
    std::vector<std::pair<AVStream *, const AVStream *>> m_covers; // output stream, the picture it copies
    int64_t m_movedPackets = 0;   // decoding time repaired
    int64_t m_droppedPackets = 0; // no time at all, or a picture earlier than the one before
};

} // namespace mirra
