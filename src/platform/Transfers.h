#pragma once
// The FTP component's actions as the windows ask for them: one at a time, each answering
// through a callback once it has returned. The window's code never waits for one; a window
// that goes while its action runs finds its callback dropped (see Lifetime).
#include <functional>
#include <string>
#include <utility>

#include "platform/Busy.h"
#include "platform/Ftp.h"

namespace bw {

class Transfers {
public:
    // The action itself. It may run on a thread of its own: it touches the component and what
    // it holds, nothing of the windows'.
    using Work = std::function<FtpResult(FtpClient& client)>;
    // Its answer, on the windows' thread.
    using Done = std::function<void(const FtpResult& result)>;

    virtual ~Transfers() = default;
    // Runs `work` after those asked for before it; `what` is shown meanwhile ("Downloading
    // index.html") with a way to stop it. `done` gets the result unless the runner goes first.
    virtual void run(const std::string& what, Work work, Done done) = 0;
    // Work asked for whose answer has not run yet.
    virtual bool running() const = 0;
    // The session as the last action left it.
    virtual bool connected() const = 0;
    virtual std::string currentDir() const = 0;
};

// Runs each action at once on the caller's thread and answers before returning, the busy
// display following it: for tools and for tests of the windows' logic.
class InlineTransfers final : public Transfers {
public:
    InlineTransfers(FtpClient& client, Busy& busy) : client_(client), busy_(busy) {}

    void run(const std::string& what, Work work, Done done) override
    {
        ++running_;
        busy_.begin(what);
        client_.setProgress([this](std::uint64_t done, std::uint64_t total) { return busy_.progress(done, total); });
        const FtpResult result = work(client_);
        client_.setProgress({});
        busy_.end();
        --running_;
        if (done)
            done(result);
    }
    bool running() const override { return running_ > 0; }
    bool connected() const override { return client_.connected(); }
    std::string currentDir() const override { return client_.currentDir(); }

private:
    FtpClient& client_;
    Busy& busy_;
    int running_ = 0;
};

} // namespace bw
