#pragma once
#include <cstdint>

#include <curl/curl.h>

namespace bw {

// Runs one transfer of easy on multi, which keeps the connection between transfers, and
// gives the transfer's result. It owns easy's open- and close-socket callbacks.
CURLcode runTransfer(CURLM* multi, CURL* easy);

// How the transfer loops of this process have waited so far.
struct LoopCounts {
    std::uint64_t waits = 0;    // every wait for a socket or for libcurl's timer
    std::uint64_t timedOut = 0; // the waits that ended with no socket ready
    std::uint64_t blind = 0;    // the waits while libcurl named no socket to wait on
};
LoopCounts loopCounts();

} // namespace bw
