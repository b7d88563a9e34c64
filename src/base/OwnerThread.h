#pragma once
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <future>
#include <memory>
#include <thread>
#include <type_traits>

// Runs f on the thread of context (the user-interface thread for a window, the
// main thread headless) and returns its result; from another thread the caller
// waits until f has run there.
// The hand-over goes through a std::future so the result is published by the
// standard library's own synchronisation.
template <typename F>
auto OnOwnerThread(QObject *context, F &&f) -> std::invoke_result_t<F>
{
    using R = std::invoke_result_t<F>;
    if (QThread::currentThread() == context->thread())
        return f();
    auto task = std::make_shared<std::packaged_task<R()>>(std::forward<F>(f));
    std::future<R> done = task->get_future();
    QMetaObject::invokeMethod(context, [task] { (*task)(); }, Qt::QueuedConnection);
    // A context destroyed before running the call drops it: get() then throws std::future_error.
    return done.get();
}

// Runs work on a thread of its own while this thread serves events, so that the work can
// reach objects of this thread through OnOwnerThread; returns when the work has ended.
template <typename F>
void RunServingEvents(F &&work)
{
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}
