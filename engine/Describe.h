#pragma once
// The description lines of inputs and outputs. Their shape is what the program
// parses: "Duration:" up to the first comma, fields separated by ", " that never
// hold a comma themselves, the frame size the only field with an "x", the frame
// rate the only one with "tb", and audio fields in the order codec, rate,
// channels, bit rate.

#include "LibAv.h"

#include <string>
#include <vector>

namespace mirra {

class InputFile;

// "    Stream #F.S: Video: ..." for one stream. bitRate 0 leaves the video bit
// rate out; an audio line always carries a bit rate field.
std::string StreamLine(int fileIndex, int streamIndex, const AVCodecParameters *par, AVRational frameRate,
                       int64_t bitRate);

// "HH:MM:SS.xx", or "N/A" for an unknown time.
std::string ClockText(int64_t us);

void DescribeInput(InputFile &input, bool estimateBitRates);

// rates: the frame rate of each output stream (0/1 for audio).
void DescribeOutput(AVFormatContext *output, const std::vector<AVRational> &rates);

} // namespace mirra
