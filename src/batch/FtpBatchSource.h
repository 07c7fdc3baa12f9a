#pragma once
// What the main window reads from the FTP window when that window hands it a batch.
#include <string>

namespace bw {

class RoundTrip;

class FtpBatchSource {
public:
    virtual ~FtpBatchSource() = default;
    // The folder the pages were downloaded into, ending in a folder separator.
    virtual std::string tempPath() const = 0;
    // The downloaded pages, to upload while the batch is open; none: a batch without a way back.
    virtual RoundTrip* roundTrip() const { return nullptr; }
};

} // namespace bw
