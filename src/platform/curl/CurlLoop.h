#pragma once
#include <curl/curl.h>

namespace bw {

// Runs one transfer of easy on multi, which keeps the connection between transfers, and
// gives the transfer's result.
CURLcode runTransfer(CURLM* multi, CURL* easy);

} // namespace bw
