#include "QualityCache.h"

#include "Console.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace mirra {

namespace {

std::string CacheFolder()
{
    const char *cache = std::getenv("XDG_CACHE_HOME");
    std::string base;
    if (cache && *cache == '/')
        base = cache;
    else if (const char *home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.cache";
    else
        return {};
    std::string path;
    for (const std::string &part : {base, std::string("/corvane-studio"), std::string("/quality")}) {
        path += part;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return {};
    }
    return path;
}

uint64_t Fnv1a(const std::string &text)
{
    uint64_t hash = 1469598103934665603ULL;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash;
}

} // namespace

std::string QualityCacheKey(const CommandLine &command, const std::vector<SampleWindow> &windows)
{
    std::ostringstream key;
    key << "quality 1";
    for (const InputRequest &in : command.inputs) {
        char *real = realpath(in.path.c_str(), nullptr);
        struct stat st{};
        const bool file = real && stat(real, &st) == 0;
        key << " | in " << (real ? real : in.path) << ' ' << (file ? int64_t(st.st_size) : 0) << ' '
            << (file ? int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : 0) << ' ' << in.format << ' '
            << in.seekUs << ' ' << (in.limitUs ? *in.limitUs : -1);
        std::free(real);
    }
    const OutputRequest &out = command.output;
    const GeometryRequest &g = out.geometry;
    key << " | out " << out.format << ' ' << out.videoCodec << ' ' << out.pixelFormat << ' ' << out.startUs << ' '
        << (out.durationUs ? *out.durationUs : -1) << ' ' << out.frameRate.num << '/' << out.frameRate.den << ' ' << g.width
        << 'x' << g.height << ' ' << g.aspect.num << '/' << g.aspect.den << ' ' << g.cropTop << ',' << g.cropBottom << ','
        << g.cropLeft << ',' << g.cropRight << ' ' << g.padTop << ',' << g.padBottom << ',' << g.padLeft << ','
        << g.padRight << ' ' << out.gop << ' ' << out.bFrames << ' ' << command.threads;
    for (const auto &[name, value] : out.videoEncoderOptions)
        if (name != "crf")
            key << ' ' << name << '=' << value;
    for (const SampleWindow &w : windows)
        key << Format(" | %.3f+%.3f", w.start, w.length);
    // The extension tells which container decides the encoder's defaults.
    const size_t dot = out.path.find_last_of('.');
    key << " | " << (dot == std::string::npos ? std::string() : out.path.substr(dot));
    return key.str();
}

QualityCache::QualityCache(std::string key) : m_key(std::move(key))
{
    const std::string folder = CacheFolder();
    if (folder.empty())
        return;
    m_path = folder + Format("/%016llx.txt", static_cast<unsigned long long>(Fnv1a(m_key)));
    std::ifstream in(m_path);
    std::string line;
    // A different key under the same name is another file's: its scores do not count.
    if (!std::getline(in, line) || line != m_key)
        return;
    int value;
    double score;
    while (in >> value >> score)
        if (score > 0 && score <= 1)
            m_scores[value] = score;
}

void QualityCache::Save() const
{
    if (m_path.empty())
        return;
    const std::string temporary = m_path + Format(".%d", int(getpid()));
    {
        std::ofstream out(temporary);
        out << m_key << '\n';
        for (const auto &[value, score] : m_scores)
            out << value << ' ' << Format("%.6f", score) << '\n';
        if (!out)
            return;
    }
    if (std::rename(temporary.c_str(), m_path.c_str()) != 0)
        std::remove(temporary.c_str());
}

} // namespace mirra
