#pragma once
#include <initializer_list>
// Choices about containers and encoders: which encoder a name or a container
// stands for, which streams a container holds, and the formats, rates and levels
// an encoder accepts.

#include "LibAv.h"

#include <string>
#include <vector>

namespace mirra {

// True when name is one of names.
bool NameIn(const char *name, std::initializer_list<const char *> names);

// The muxer named by -f, or the one the output file's extension implies.
const AVOutputFormat *ResolveOutputFormat(const std::string &name, const std::string &path);

// Whether a user converting to this container expects its video or audio to be
// written at all (MP3, WAV and OGG files take no picture, a GIF no sound).
bool ContainerTakesVideo(const AVOutputFormat *format);
bool ContainerTakesAudio(const AVOutputFormat *format);

// Whether a container holds a stream as it is: the muxer's own answer, and where it has
// none, or says no yet has a tag for the codec (Matroska's VfW and ACM codecs), a header
// written to nowhere decides.
bool ContainerHolds(const AVOutputFormat *format, const AVStream *stream);
// Whether the muxer writes a header for streams like these (parameters, time base and
// disposition), written to nowhere.
bool HeaderWrites(const AVOutputFormat *format, const std::vector<const AVStream *> &streams);

// Encoder for -vcodec/-acodec: an encoder name, a codec name or a common alias.
const AVCodec *FindEncoder(const std::string &name, AVMediaType type);
// The encoder a container uses when the command line names none.
const AVCodec *DefaultEncoder(const AVOutputFormat *format, AVMediaType type);
// The encoder for a copied stream the container cannot hold: the one named, else H.264 or
// AAC where the container holds them, else the container's own.
const AVCodec *FallbackEncoder(const AVOutputFormat *format, AVMediaType type, const std::string &named);

AVPixelFormat PickPixelFormat(const AVCodec *encoder, AVPixelFormat source, const std::string &requested);
AVSampleFormat PickSampleFormat(const AVCodec *encoder, AVSampleFormat source);
int PickSampleRate(const AVCodec *encoder, const AVOutputFormat *format, int wanted);
void PickChannelLayout(const AVCodec *encoder, int wantedChannels, AVChannelLayout *layout);
AVRational PickFrameRate(const AVCodec *encoder, AVRational wanted);

// H.263 only takes five picture sizes; true when (w, h) is one of them.
bool IsH263Size(int width, int height);
// The H.263 size nearest to (w, h).
void NearestH263Size(int &width, int &height);

// The H.264 level to signal: the requested one when the stream fits in it, else
// the lowest level whose limits the frame size, rate and bit rate fit, or -1 when
// none does. requested is a level_idc (13 = 1.3).
int FitH264Level(int requested, int width, int height, AVRational frameRate, int64_t bitRate);

// Encoders sharing the MPEG-video quantiser scale of 1 to 31.
bool UsesMpegQuantiser(const AVCodec *encoder);

// A bit rate that gives a watchable picture when the command line gives none and
// the encoder has no quality mode of its own.
int64_t DefaultVideoBitRate(int width, int height, AVRational frameRate);
int64_t DefaultAudioBitRate(const AVCodec *encoder, int channels);
// The bit rate an encoder with a fixed table of rates can take nearest to the one asked for.
int64_t FitAudioBitRate(const AVCodec *encoder, int sampleRate, int64_t bitRate);

} // namespace mirra
