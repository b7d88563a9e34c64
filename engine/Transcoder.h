#pragma once
// One conversion: the chosen input streams are decoded, filtered, encoded and
// written to the output file (or copied as they are), with progress lines while
// it runs and the summary line when it succeeded.

#include "InputFile.h"
#include "LibAv.h"
#include "Options.h"
#include "Progress.h"

#include <memory>
#include <optional>
#include <vector>

namespace mirra {

class Transcoder
{
public:
    Transcoder(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs);
    ~Transcoder();
    Transcoder(const Transcoder &) = delete;
    Transcoder &operator=(const Transcoder &) = delete;

    // Throws EngineError; a partly written output file is removed again.
    void Run();

private:
    struct Stream;

    void Setup();
    void SelectStreams(const AVOutputFormat *format);
    void CheckOutputPath();
    Stream &AddStream(AVMediaType type, InputFile *input, int streamIndex);
    void SelectMappedStreams(const AVOutputFormat *format, bool wantVideo, bool wantAudio);
    void SetupSubtitles(Stream &s, const AVOutputFormat *format);
    void HandleSubtitlePacket(Stream &s, AVPacket *pkt);
    void OpenDecoder(Stream &s);
    void SetupVideo(Stream &s, const AVOutputFormat *format);
    // The source as the filters see it, the graphics card when the encoder needs one, the layout.
    void PlanVideo(Stream &s, const AVOutputFormat *format, AVRational rate);
    void OpenVideoEncoder(Stream &s, AVRational rate);
    AVDictionary *VideoRateControl(AVCodecContext *enc, const AVCodec *codec, AVRational rate, bool hardware) const;
    void SetupAudio(Stream &s, const AVOutputFormat *format);
    void SetupCopy(Stream &s, const AVOutputFormat *format);
    void BuildVideoGraph(Stream &s);
    void BuildAudioGraph(Stream &s);
    void BuildGraph(Stream &s, const char *sourceFilter, const char *sinkFilter, const std::string &sourceArgs,
                    const std::string &chain);
    void CopyMetadata();
    void OpenOutputFile();

    void ReadLoop();
    InputFile *NextInput();
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
    void Finish();
    int64_t Continuous(Stream &s, int64_t ts);
    std::string WriteFailure(int averror) const;

    const CommandLine &m_command;
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
};

} // namespace mirra
