#include "platform/curl/CurlLoop.h"

namespace bw {

// curl_easy_perform, with a shorter nap: libcurl 7.88 at times gives no socket to wait on
// right after the server names its data port, and its own loop then sleeps a whole
// second before every such transfer.
CURLcode runTransfer(CURLM* multi, CURL* easy)
{
    constexpr long kNapMs = 5;
    CURLMcode mc = curl_multi_add_handle(multi, easy);
    if (mc != CURLM_OK)
        return CURLE_FAILED_INIT;
    int running = 1;
    while (mc == CURLM_OK) {
        mc = curl_multi_perform(multi, &running);
        if (mc != CURLM_OK || !running)
            break;
        long wait = -1;
        curl_multi_timeout(multi, &wait);
        if (wait < 0 || wait > kNapMs)
            wait = kNapMs;
        mc = curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait), nullptr);
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
