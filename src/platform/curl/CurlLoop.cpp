#include "platform/curl/CurlLoop.h"

#include <array>
#include <atomic>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>

namespace bw {

namespace {

// The longest wait without a word from libcurl: the progress callback, which lets the
// window paint and the user cancel, runs at each turn of the loop.
constexpr long kLongestWaitMs = 50;

std::atomic<std::uint64_t> waits{0}, timedOut{0}, blind{0};
std::atomic<std::uint64_t> opens{0}; // sockets opened so far

// Every socket libcurl has opened through us and not yet closed, with the easy handle it
// was opened for. A connection outlives its transfer (and may close after its handle is
// gone), so this stays with the process rather than with a transfer.
std::mutex socketsLock;
std::unordered_map<curl_socket_t, const void*>& sockets()
{
    static std::unordered_map<curl_socket_t, const void*> map;
    return map;
}

curl_socket_t openSocket(void* owner, curlsocktype, curl_sockaddr* address)
{
    curl_socket_t s = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (s == CURL_SOCKET_BAD)
        return s;
    ++opens;
    try {
        std::lock_guard<std::mutex> hold(socketsLock);
        sockets()[s] = owner;
    } catch (...) {
        // Unknown to us the socket still works; the loop only waits for it less well.
    }
    return s;
}

int closeSocket(void*, curl_socket_t s)
{
    {
        std::lock_guard<std::mutex> hold(socketsLock);
        sockets().erase(s);
    }
    return ::close(s);
}

// A session has its control connection and at most a data connection or two being tried.
constexpr std::size_t kMostSockets = 8;

// A socket of ours as the loop last saw it: what it was waited for, and the bytes it held.
struct Seen {
    curl_socket_t fd = CURL_SOCKET_BAD;
    short events = 0;
    int held = 0;
};

int heldBytes(curl_socket_t s)
{
    int n = 0;
    return ::ioctl(s, FIONREAD, &n) == 0 ? n : -1;
}

bool named(curl_socket_t s, const fd_set& r, const fd_set& w)
{
    return s < FD_SETSIZE && (FD_ISSET(s, &r) || FD_ISSET(s, &w));
}

// What the loop waits on besides the sockets libcurl names.
class OwnSockets {
public:
    // The sockets opened for easy that libcurl does not name, each with what it waits
    // for: one still connecting to be writable (or, listening, readable), a connected one
    // to be readable. Left out: those ready in just the way they were when they last woke
    // the loop, holding the same bytes, as libcurl did not take that up and waiting on
    // them again would only spin.
    void choose(const void* easy, const fd_set& r, const fd_set& w)
    {
        count_ = 0;
        {
            std::lock_guard<std::mutex> hold(socketsLock);
            for (const auto& [s, owner] : sockets()) {
                if (owner != easy || named(s, r, w) || count_ == kMostSockets)
                    continue;
                sockaddr_storage peer{};
                socklen_t size = sizeof peer;
                const bool connected = ::getpeername(s, reinterpret_cast<sockaddr*>(&peer), &size) == 0;
                fds_[count_++] = {s, static_cast<short>(connected ? CURL_WAIT_POLLIN : CURL_WAIT_POLLIN | CURL_WAIT_POLLOUT), 0};
            }
        }
        std::array<pollfd, kMostSockets> now{};
        for (unsigned i = 0; i < count_; ++i)
            now[i] = {fds_[i].fd, static_cast<short>(fds_[i].events & CURL_WAIT_POLLOUT ? POLLIN | POLLOUT : POLLIN), 0};
        if (count_ == 0 || ::poll(now.data(), count_, 0) <= 0) {
            unheeded_ = 0;
            return;
        }
        std::array<Seen, kMostSockets> still{};
        unsigned stillCount = 0, kept = 0;
        for (unsigned i = 0; i < count_; ++i) {
            const Seen seen{fds_[i].fd, fds_[i].events, now[i].revents ? heldBytes(fds_[i].fd) : 0};
            bool same = false;
            for (unsigned j = 0; j < unheeded_ && now[i].revents; ++j)
                same = same || (heard_[j].fd == seen.fd && heard_[j].events == seen.events && heard_[j].held == seen.held);
            if (same)
                still[stillCount++] = seen;
            else
                fds_[kept++] = fds_[i];
        }
        count_ = kept;
        heard_ = still;
        unheeded_ = stillCount;
    }
    curl_waitfd* fds() { return fds_.data(); }
    unsigned count() const { return count_; }
    // After the wait: those that woke it, as they were then.
    void noteWoken()
    {
        for (unsigned i = 0; i < count_ && unheeded_ < kMostSockets; ++i)
            if (fds_[i].revents)
                heard_[unheeded_++] = {fds_[i].fd, fds_[i].events, heldBytes(fds_[i].fd)};
    }

private:
    std::array<curl_waitfd, kMostSockets> fds_{};
    unsigned count_ = 0;
    std::array<Seen, kMostSockets> heard_{}; // woke the last wait, or were left out before
    unsigned unheeded_ = 0;
};

} // namespace

LoopCounts loopCounts() { return {waits.load(), timedOut.load(), blind.load()}; }

// curl_easy_perform, but never waiting blind. libcurl 7.88 names no socket at all from
// the moment the server names its data port until the data connection is up, and its own
// loop then sleeps up to a second; with TLS it names the data connection's socket alone
// while it also waits for an answer on the control connection. So the loop also waits on
// the sockets libcurl opened for easy and did not name, and in the gap runs libcurl once
// more at once after each step (it opens the data connection only at the call after the
// one that read the port).
CURLcode runTransfer(CURLM* multi, CURL* easy)
{
    CURLcode set = curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &openSocket);
    if (set == CURLE_OK)
        set = curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, static_cast<void*>(easy));
    if (set == CURLE_OK)
        set = curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &closeSocket);
    if (set != CURLE_OK)
        return set;
    CURLMcode mc = curl_multi_add_handle(multi, easy);
    if (mc != CURLM_OK)
        return CURLE_FAILED_INIT;
    int running = 1;
    bool rerun = false; // run again at once in this stretch of the gap, with nothing new since
    std::uint64_t openedBefore = opens.load();
    OwnSockets own;
    while (mc == CURLM_OK) {
        mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK || !running)
            break;
        fd_set r, w, x;
        FD_ZERO(&r);
        FD_ZERO(&w);
        FD_ZERO(&x);
        int highest = -1;
        curl_multi_fdset(multi, &r, &w, &x, &highest);
        const bool gap = highest < 0;
        const std::uint64_t opened = opens.load();
        if (!gap || opened != openedBefore)
            rerun = false;
        openedBefore = opened;
        if (gap && !rerun) {
            rerun = true;
            continue;
        }
        long wait = -1;
        curl_multi_timeout(multi, &wait);
        if (wait < 0 || wait > kLongestWaitMs)
            wait = kLongestWaitMs;
        own.choose(easy, r, w);
        int ready = 0;
        mc = curl_multi_poll(multi, own.fds(), own.count(), static_cast<int>(wait), &ready);
        own.noteWoken();
        if (ready > 0)
            rerun = false;
        if (wait > 0) {
            ++waits;
            timedOut += ready == 0;
            blind += gap;
        }
    }
    CURLcode rc = mc == CURLM_OK ? CURLE_OK : CURLE_FAILED_INIT;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy)
            rc = msg->data.result;
    curl_multi_remove_handle(multi, easy);
    return rc;
}

} // namespace bw
