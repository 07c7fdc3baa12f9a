#include "platform/qt/Handlers.h"

#include <QCoreApplication>
#include <deque>

#include "platform/qt/QtPlatform.h"

namespace bw {

namespace {
int depth = 0;
std::deque<std::function<void()>> deferred;

void postDeferred()
{
    for (auto& work : std::exchange(deferred, {}))
        QMetaObject::invokeMethod(QCoreApplication::instance(), [work = std::move(work)] { handlers::whenIdle(work); },
                                  Qt::QueuedConnection);
}
} // namespace

bool handlers::running() { return depth > 0; }

bool handlers::runAlone(const std::function<void()>& handler)
{
    if (depth > 0)
        return false;
    struct Depth {
        Depth() { ++depth; }
        ~Depth() { --depth; }
    } scope;
    handler();
    if (depth == 1 && !deferred.empty())
        postDeferred();
    return true;
}

void handlers::whenIdle(std::function<void()> work)
{
    if (depth > 0) {
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
