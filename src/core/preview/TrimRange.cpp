#include "core/preview/TrimRange.h"

#include <utility>

int ApplyTrimRange(int startSeconds, int stopSeconds, int durationSec, TrimRangeValues *range)
{
    if (!range)
        return -1;
    long long start = startSeconds;
    long long stop = stopSeconds;
    // Either mark past the end means the whole file.
    if (start > durationSec || stop > durationSec) {
        start = 0;
        stop = durationSec;
    }
    long long length = stop - start;
    // Marks set in the wrong order; a stop of 0 means "to the end" and stays.
    if (stop > 0 && length < 0) {
        std::swap(start, stop);
        length = -length;
    }
    if (length == 0)
        return 0;
    range->trimLength = int(length);
    range->trimStart = int(start);
    range->trimStop = int(stop);
    return int(length);
}

TrimRangeDisplay ShowTrimRange(const TrimRangeValues &range, int durationSec)
{
    TrimRangeDisplay display;
    if (range.trimStart >= 0)
        display.start = range.trimStart;
    if (range.trimStop > 0)
        display.stop = range.trimStop;
    else if (range.trimStop == 0)
        display.stop = durationSec;
    return display;
}
