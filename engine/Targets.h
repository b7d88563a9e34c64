#pragma once
// Conversions that aim at a result rather than at settings: a loudness, a file size
// or a picture quality. Passes of their own measure and try before the output is
// written, all on one scale of progress; what was reached is printed as notes before
// the summary line.

#include "InputFile.h"
#include "Options.h"

#include <memory>
#include <string>
#include <vector>

namespace mirra {

// Throws EngineError; the output file is removed again when it does not come out right.
void ConvertToTargets(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs);

// A size as the user gave it: "1.93 MB" in thousands, "1.84 MiB" in 1024s.
std::string SizeText(int64_t bytes, bool binary);

// The encoder's constant-quality setting the quality target searches: "crf" from low (best)
// to high, or the MPEG quantiser.
struct QualityKnob
{
    bool quantiser = false;
    int low = 0;
    int high = 51;
    int start = 23;
};

// Short stretches spread over the output that stand for it in the quality search: the
// whole output when it is short.
struct SampleWindow
{
    double start = 0; // seconds from the output's start
    double length = 0;
};
std::vector<SampleWindow> SampleWindows(double outputSeconds);

} // namespace mirra
