#pragma once
// The FTP component's actions on a thread of their own, so that the windows keep their event
// loop while one runs: the progress dialog is fed from it, Cancel stops it, and its answer
// comes back as a handler of its own.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/Secrets.h"
#include "platform/Transfers.h"
#include "platform/qt/QtBusy.h"

namespace bw {

class QtTransfers final : public Transfers {
public:
    // client: used from the transfers' thread only, from now on until this is destroyed.
    QtTransfers(FtpClient& client, QtBusy& busy);
    // Stops the action under way and waits for it; no answer comes after this.
    ~QtTransfers() override;
    QtTransfers(const QtTransfers&) = delete;
    QtTransfers& operator=(const QtTransfers&) = delete;

    void run(const std::string& what, Work work, Done done) override;
    bool running() const override { return unanswered_ > 0; }
    bool connected() const override { return connected_; }
    std::string currentDir() const override { return currentDir_; }

private:
    struct Job {
        std::string what;
        Work work;
        Done done;
        QPointer<QWidget> owner; // the window it was asked from: its boxes belong to it
    };
    void startNext();
    void report(std::uint64_t done, std::uint64_t total); // on the transfers' thread
    void finished(const FtpResult& result, bool connected, const std::string& dir);
    void work(); // the transfers' thread

    FtpClient& client_;
    QtBusy& busy_;
    // The windows' thread's.
    std::deque<Job> asked_;
    std::optional<Job> current_;
    int unanswered_ = 0; // asked for, answer not run yet
    int holding_ = 0;    // handler holds taken and not yet handed to an answer
    bool connected_ = false;
    std::string currentDir_;
    Lifetime lifetime_;
    // Shared with the transfers' thread.
    std::mutex lock_;
    std::condition_variable wake_;
    Work next_;
    bool stopping_ = false;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> reportPosted_{false};
    std::atomic<std::uint64_t> done_{0}, total_{0};
    // What the transfers' thread posts goes to it; nothing posted arrives once it is gone.
    std::unique_ptr<QObject> inbox_ = std::make_unique<QObject>();
    std::thread thread_;
};

} // namespace bw
