#pragma once
// The picture's way from decoded frame to encoded frame (crop in source pixels,
// scale to the requested size, pad, display ratio) and the sound's way to the
// encoder's format, written as filter chains.

#include "LibAv.h"
#include "Options.h"

#include <optional>
#include <string>

namespace mirra {

struct VideoLayout
{
    int cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    int scaleWidth = 0, scaleHeight = 0; // the picture after scaling, before padding
    int padLeft = 0, padRight = 0, padTop = 0, padBottom = 0;
    int outWidth = 0, outHeight = 0;     // the frame written
    AVRational sampleAspect{0, 1};       // 0: what the filters make of the source's
    AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
    AVRational frameRate{25, 1};
    bool upload = false;                 // the pictures go to the graphics card's memory last
    bool keepTiming = false;             // each picture keeps its time: no constant rate is made
    enum class Deinterlace { None, Every, Marked };
    Deinterlace deinterlace = Deinterlace::None; // one progressive picture per picture
    const char *firstField = "auto";     // tff or bff where the pictures do not say which field comes first
    std::string note;                    // an adjustment worth telling the user
};

// Checks the requested geometry against the source and fits it to the encoder.
// Throws EngineError for geometry that cannot be made.
VideoLayout PlanVideoLayout(const GeometryRequest &request, int sourceWidth, int sourceHeight, AVRational sourceAspect,
                            const AVCodec *encoder, AVPixelFormat pixelFormat, AVRational frameRate);

// What the filters cut: frames before zero always go, frames from endSeconds on too.
struct TrimWindow
{
    std::optional<double> endSeconds;
};

struct VideoSource
{
    int width = 0, height = 0;
    AVPixelFormat format = AV_PIX_FMT_NONE;
    AVRational sampleAspect{0, 1};
    AVRational timeBase{1, 25};
    AVRational frameRate{25, 1};
    // Degrees clockwise that turn the decoded picture upright (0, 90, 180 or 270): phones
    // store the picture as the sensor saw it and its turn beside it.
    int rotation = 0;
    bool Turned() const { return rotation == 90 || rotation == 270; }
    int UprightWidth() const { return Turned() ? height : width; }
    int UprightHeight() const { return Turned() ? width : height; }
};

// The turn a display matrix asks for, as 0, 90, 180 or 270 degrees clockwise; 0 for none.
int RotationOf(const int32_t *displayMatrix);

// Sound as the decoder gives it or as the encoder takes it.
struct AudioFormat
{
    int sampleRate = 0;
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
    AVChannelLayout layout{};
};

std::string VideoSourceArgs(const VideoSource &source);
std::string AudioSourceArgs(const AudioFormat &source);

// Chains between the labels [in] and [out].
std::string VideoFilterChain(const VideoLayout &layout, const VideoSource &source, const TrimWindow &trim);
// effects: filters the sound passes after the trim and before it takes the encoder's format.
std::string AudioFilterChain(const AudioFormat &target, const TrimWindow &trim, const std::string &effects = std::string());

// A channel layout the filters can name: unordered layouts become the usual
// order for their channel count.
void NamedLayout(const AVChannelLayout &in, AVChannelLayout *out);
std::string LayoutName(const AVChannelLayout &layout);

} // namespace mirra
