#pragma once
// Scores of quality settings measured on one file's samples with one set of encoder
// settings, kept in the user's cache folder: converting the file again, or to another
// quality target, measures only what is not known yet.

#include "Options.h"
#include "Targets.h"

#include <map>
#include <string>
#include <vector>

namespace mirra {

// Names the file (path, size, time of change), the encoder settings that shape the
// pictures and the samples; the quality setting itself and the target are left out.
std::string QualityCacheKey(const CommandLine &command, const std::vector<SampleWindow> &windows);

class QualityCache
{
public:
    explicit QualityCache(std::string key);
    std::map<int, double> &Scores() { return m_scores; }
    // Quietly keeps nothing when the cache folder cannot be written.
    void Save() const;

private:
    std::string m_key;
    std::string m_path; // empty: no cache folder
    std::map<int, double> m_scores;
};

} // namespace mirra
