#include "platform/qt/QtTransfers.h"

#include "platform/qt/Handlers.h"
#include "platform/qt/QtPlatform.h"

namespace bw {

QtTransfers::QtTransfers(FtpClient& client, QtBusy& busy) : client_(client), busy_(busy)
{
    busy_.whenCancelled([this] { cancel_ = true; });
    thread_ = std::thread([this] { work(); });
}

QtTransfers::~QtTransfers()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    cancel_ = true;
    wake_.notify_one();
    thread_.join();
    busy_.whenCancelled({});
    if (current_)
        busy_.end();
    for (; holding_ > 0; --holding_)
        handlers::release();
}

void QtTransfers::run(const std::string& what, Work work, Done done)
{
    ++unanswered_;
    ++holding_;
    handlers::hold();
    asked_.push_back({what, std::move(work), std::move(done), dialogOwner()});
    startNext();
}

void QtTransfers::startNext()
{
    if (current_ || asked_.empty())
        return;
    current_ = std::move(asked_.front());
    asked_.pop_front();
    cancel_ = false;
    busy_.begin(current_->what);
    {
        std::lock_guard<std::mutex> hold(lock_);
        next_ = std::move(current_->work);
    }
    wake_.notify_one();
}

void QtTransfers::work()
{
    for (;;) {
        Work work;
        {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [this] { return stopping_ || next_; });
            if (stopping_)
                return;
            work = std::exchange(next_, {});
        }
        client_.setProgress([this](std::uint64_t done, std::uint64_t total) {
            report(done, total);
            return !cancel_;
        });
        FtpResult result = work(client_);
        client_.setProgress({});
        work = {}; // what it holds goes here, not on the windows' thread
        QMetaObject::invokeMethod(
            inbox_.get(),
            [this, result = std::move(result), connected = client_.connected(), dir = client_.currentDir()] {
                finished(result, connected, dir);
            },
            Qt::QueuedConnection);
    }
}

void QtTransfers::report(std::uint64_t done, std::uint64_t total)
{
    done_ = done;
    total_ = total;
    // One report waits at a time; it shows the latest figures when it comes.
    if (reportPosted_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        inbox_.get(),
        [this] {
            reportPosted_ = false;
            if (current_ && !busy_.progress(done_, total_))
                cancel_ = true;
        },
        Qt::QueuedConnection);
}

void QtTransfers::finished(const FtpResult& result, bool connected, const std::string& dir)
{
    connected_ = connected;
    currentDir_ = dir;
    busy_.end();
    Job job = std::move(*current_);
    current_.reset();
    --holding_;
    handlers::answer(lifetime_.guard([this, job = std::move(job), result] {
        {
            SpeakingFor speaking(job.owner);
            if (job.done)
                job.done(result);
        }
        // Counted until its boxes are closed: its window must not go from under them.
        --unanswered_;
        startNext();
    }));
}

} // namespace bw
