#pragma once
// A batch: the pages chosen in the batch window or fetched by the FTP window, opened one
// after the other in the editor ("Move to next file").
#include <string>
#include <vector>

#include "batch/FtpBatchSource.h"
#include "editor/EditorSession.h"
#include "platform/Controls.h"
#include "platform/Platform.h"

namespace bw {

class BatchSession {
public:
    BatchSession(Platform platform, EditorSession& editor);
    BatchSession(const BatchSession&) = delete;
    BatchSession& operator=(const BatchSession&) = delete;

    // What the main window shows of the batch.
    struct View {
        Label progress{"", false};                        // "2 / 5"
        Button nextFileButton{"Move to next file", false}; // hidden until a batch starts
        // Batch > Upload edited pages and Show changes, there while a batch from the FTP window is open.
        MenuItem uploadItem{"&Upload edited pages", true, false}, changesItem{"Show &changes", true, false};
    };
    const View& view() const { return view_; }
    // The views hear when the batch changed, whoever caused it.
    [[nodiscard]] Subscription subscribe(PageDocument::Listener listener) { return notices_.subscribe(std::move(listener)); }

    // "OK" of the batch window: these pages (full paths) become the batch and the first opens.
    void start(const std::vector<std::string>& pages);
    // "Start Batching" of the FTP window: these pages, downloaded below the source's temp
    // path (paths from it), become the batch and the first opens.
    void startFetched(const FtpBatchSource& ftp, const std::vector<std::string>& names);
    void nextFile(); // "Move to next file"
    void uploadEdited();
    void showChanges();
    // What was typed for the image shown is written, as NEXT writes it, before its page goes
    // anywhere; false when it could not be (the user has been told).
    [[nodiscard]] bool writeTyped() { return !editor_.pageOpen() || editor_.writeTypedAlt(); }

    const std::vector<std::string>& pages() const { return pages_; }
    int pageNumber() const { return page_; } // from 1

private:
    void setPages(std::vector<std::string> pages);
    void showProgress();
    void changed() { notices_.tell({PageDocument::Change::Batch}); }

    Platform platform_;
    EditorSession& editor_;
    View view_;
    std::vector<std::string> pages_;
    int page_ = 1;
    RemotePages* ftpPages_ = nullptr; // the FTP window's downloads, while its batch is open
    Notices<PageDocument::Notice> notices_;
    Subscription editorHeard_;
};

} // namespace bw
