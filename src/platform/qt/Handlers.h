#pragma once
// The program runs one handler at a time. A modal box's loop inside a handler still takes
// timers, posted events and the accessibility bus's presses (which modality does not stop):
// without this, a second handler could run inside the first and delete what it stands on.
#include <QPointer>
#include <functional>
#include <memory>

#include "platform/Secrets.h"
#include "platform/qt/QtPlatform.h"

namespace bw {

namespace handlers {
// True while one of the program's handlers is on the stack.
bool running();
// True while a transfer is still to answer.
bool held();
// Runs `handler` as the program's handler; when another one is on the stack, or a transfer
// is under way, it is refused: false, and not run.
bool runAlone(const std::function<void()>& handler);
// Runs `work` as a handler now when none is on the stack and no transfer is under way, else
// from the event loop once they have ended.
void whenIdle(std::function<void()> work);
// A transfer has started: it holds the handlers' turn until its answer has run, so that no
// other handler starts in between and finds the window's work half done.
void hold();
// The transfer's answer: its hold ends and `continuation` runs as the handler, followed by a
// redraw of the open windows; when a handler is on the stack, once that one has ended.
void answer(std::function<void()> continuation);
// A transfer that will never answer (its runner has gone) ends its hold.
void release();

// Runs one of the window's handlers alone, its boxes standing over the window, then redraws
// the window unless the handler closed it for good.
template <class Window, class Handler> void runFor(Window* window, Handler handler)
{
    QPointer<Window> self(window);
    if (runAlone([&] {
            SpeakingFor speaking(window);
            handler();
        }) && self)
        self->refresh();
}
} // namespace handlers

// The keyring's late answers delivered as handlers of their own, between the others, each
// followed by a redraw of the open windows. An answer given during the call is part of its
// caller's handler and comes at once.
class HandlerSecrets final : public SecretStore {
public:
    explicit HandlerSecrets(SecretStore& store) : store_(store) {}
    bool available() override { return store_.available(); }
    void read(const std::string& key, ReadDone done) override;
    void write(const std::string& key, const std::string& secret, WriteDone done) override;
    void remove(const std::string& key, WriteDone done) override;

private:
    template <class Done> Done delivered(Done done);

    SecretStore& store_;
    // Above 0 inside a call of the store's; shared with the answers, which may outlive this.
    std::shared_ptr<int> calling_ = std::make_shared<int>(0);
};

} // namespace bw
