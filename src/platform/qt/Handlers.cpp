#include "platform/qt/Handlers.h"

#include <QCoreApplication>
#include <deque>

#include "platform/qt/QtPlatform.h"

namespace bw {

namespace {
int depth = 0;
int holds = 0; // transfers whose answer is still to come
std::deque<std::function<void()>> deferred;
std::deque<std::function<void()>> afterHandler; // answers that came while a handler was on the stack

void postDeferred()
{
    for (auto& work : std::exchange(deferred, {}))
        QMetaObject::invokeMethod(QCoreApplication::instance(), [work = std::move(work)] { handlers::whenIdle(work); },
                                  Qt::QueuedConnection);
}

// Runs `handler` as the program's handler, whatever else is under way.
void runNow(const std::function<void()>& handler)
{
    struct Depth {
        Depth() { ++depth; }
        ~Depth() { --depth; }
    } scope;
    handler();
    if (depth == 1) {
        for (auto& answer : std::exchange(afterHandler, {}))
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(answer), Qt::QueuedConnection);
        if (holds == 0 && !deferred.empty())
            postDeferred();
    }
}
} // namespace

bool handlers::running() { return depth > 0; }

bool handlers::held() { return holds > 0; }

bool handlers::runAlone(const std::function<void()>& handler)
{
    if (depth > 0 || holds > 0)
        return false;
    runNow(handler);
    return true;
}

void handlers::hold() { ++holds; }

void handlers::release()
{
    if (--holds == 0 && depth == 0 && !deferred.empty())
        postDeferred();
}

void handlers::answer(std::function<void()> continuation)
{
    if (depth > 0) {
        // A box's loop inside a handler let the answer through: it waits for that handler's end.
        afterHandler.push_back([continuation = std::move(continuation)] { answer(continuation); });
        return;
    }
    release();
    runNow([&] {
        continuation();
        redrawViews();
    });
}

void handlers::whenIdle(std::function<void()> work)
{
    if (depth > 0 || holds > 0) {
        deferred.push_back(std::move(work));
        return;
    }
    runAlone([&] {
        work();
        redrawViews();
    });
}

template <class Done> Done HandlerSecrets::delivered(Done done)
{
    return [calling = calling_, done = std::move(done)](const auto& answer) {
        if (!done)
            return;
        if (*calling > 0)
            done(answer);
        else
            handlers::whenIdle([done, answer] { done(answer); });
    };
}

void HandlerSecrets::read(const std::string& key, ReadDone done)
{
    ++*calling_;
    store_.read(key, delivered(std::move(done)));
    --*calling_;
}

void HandlerSecrets::write(const std::string& key, const std::string& secret, WriteDone done)
{
    ++*calling_;
    store_.write(key, secret, delivered(std::move(done)));
    --*calling_;
}

void HandlerSecrets::remove(const std::string& key, WriteDone done)
{
    ++*calling_;
    store_.remove(key, delivered(std::move(done)));
    --*calling_;
}

} // namespace bw
