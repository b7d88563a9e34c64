#include "Console.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace mirra {

namespace {

std::mutex g_logMutex;
std::string g_lastLibraryError;
int g_printLevel = AV_LOG_QUIET;

void WriteAll(const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return; // the reader went away; nothing sensible left to do with the text
        }
        data += n;
        size -= size_t(n);
    }
}

std::string VFormat(const char *format, va_list args)
{
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return {};
    if (size_t(n) < sizeof small)
        return std::string(small, size_t(n));
    std::string big(size_t(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(size_t(n));
    return big;
}

std::string TrimLineEnd(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

void LibraryLog(void *avcl, int level, const char *format, va_list args)
{
    if (level > AV_LOG_ERROR && level > g_printLevel)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line2(avcl, level, format, args, line, sizeof line, &prefix);
    std::string text = TrimLineEnd(line);
    if (text.empty())
        return;
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (level <= AV_LOG_ERROR) {
        // The bare message reads better in our one-line error than the "[codec @ 0x...]" prefix.
        const size_t close = text.find("] ");
        if (!text.empty() && text[0] == '[' && close != std::string::npos)
            g_lastLibraryError = text.substr(close + 2);
        else
            g_lastLibraryError = text;
    }
    if (level <= g_printLevel) {
        text += "\r\n";
        WriteAll(text.data(), text.size());
    }
}

} // namespace

void PrintLine(const std::string &line)
{
    std::string text = line;
    text += "\r\n";
    WriteAll(text.data(), text.size());
}

void PrintLinef(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    PrintLine(text);
}

std::string Format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

void InstallLibraryLog(int printLevel)
{
    g_printLevel = printLevel;
    av_log_set_level(printLevel > AV_LOG_ERROR ? printLevel : AV_LOG_ERROR);
    av_log_set_callback(LibraryLog);
}

std::string TakeLibraryError()
{
    std::lock_guard<std::mutex> lock(g_logMutex);
    std::string text;
    text.swap(g_lastLibraryError);
    return text;
}

std::string ErrorText(int averror)
{
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, buffer, sizeof buffer);
    std::string text = buffer;
    const std::string detail = TakeLibraryError();
    if (!detail.empty() && detail != text)
        text += " (" + detail + ")";
    return text;
}

std::string FieldSafe(std::string text)
{
    for (char &c : text) {
        if (c == ',')
            c = ';';
        else if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

} // namespace mirra
