#include "base/UserMessage.h"

#include <QMutex>
#include <cstdio>

namespace {
QMutex g_mutex;
std::function<void(const QString &)> g_handler;
} // namespace

void ShowUserMessage(const QString &text)
{
    std::function<void(const QString &)> handler;
    {
        QMutexLocker lock(&g_mutex);
        handler = g_handler;
    }
    if (handler)
        handler(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void SetUserMessageHandler(std::function<void(const QString &)> handler)
{
    QMutexLocker lock(&g_mutex);
    g_handler = std::move(handler);
}
