#pragma once
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>

// Runs f on the thread of context (the user-interface thread for a window) and
// returns its result; from another thread the caller waits until f has run there.
template <typename F>
auto OnUiThread(QObject *context, F &&f) -> std::invoke_result_t<F>
{
    using R = std::invoke_result_t<F>;
    if (QThread::currentThread() == context->thread())
        return f();
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(context, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}
