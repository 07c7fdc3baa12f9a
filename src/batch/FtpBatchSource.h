#pragma once
// What the main window reads from the FTP window when that window hands it a batch.
#include <string>

namespace bw {

// The downloaded pages' way back to their server, while their batch is open.
class RemotePages {
public:
    virtual ~RemotePages() = default;
    // Sends every page changed since its download back where it came from.
    virtual void uploadChanged() = 0;
    // Shows, per changed page, each image tag that changed, before and after.
    virtual void showChanges() = 0;
};

class FtpBatchSource {
public:
    virtual ~FtpBatchSource() = default;
    // The folder the pages were downloaded into, ending in a folder separator.
    virtual std::string tempPath() const = 0;
    // The downloaded pages, to upload while the batch is open; none: a batch without a way back.
    virtual RemotePages* roundTrip() const { return nullptr; }
};

} // namespace bw
