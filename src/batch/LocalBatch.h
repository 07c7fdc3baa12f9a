#pragma once
// The local batch window: the user picks pages, "OK" hands them to the main window.
#include <functional>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "batch/BatchSession.h"
#include "platform/Platform.h"

namespace bw {

class LocalBatch {
public:
    LocalBatch(Platform platform, BatchSession& batch);
    LocalBatch(const LocalBatch&) = delete;
    LocalBatch& operator=(const LocalBatch&) = delete;

    std::string Caption = "Local Batch";
    Label Label1;        // caption of the file list
    ListBox List1;       // chosen pages, full paths, in batch order, each once; its index is the row selected
    ListBox List2;       // the same pages' file names
    Button Command1;     // "Add files"
    Button Command2;     // "Add folder"
    Button Command3;     // "Remove"
    Button Command4;     // "Move Up"
    Button Command5;     // "Move Down"
    CheckBox Check1;     // only pages with an image missing an ALT go into the batch
    Button OKButton;
    Button CancelButton;
    FileDialog CommonDialog1;

    // Set by the owner: closes the window.
    std::function<void()> Unload;

    void addFiles();     // Add files
    void addFolder();     // Add folder
    void removeSelected();     // Remove the row selected
    void moveSelectedUp();     // Move it up
    void moveSelectedDown();     // Move it down
    void ok();     // chooseBatch, then startChosenBatch
    void cancel(); // discard the choice

    // "OK" in two steps, so that a view can put its window away between them. The pages that
    // go into the batch, Check1 applied; false, and the window stays, when none is left.
    [[nodiscard]] bool chooseBatch();
    // The pages chosen become the batch in the main window, and this window goes.
    void startChosenBatch();

private:
    void append(const std::string& path);
    // Appends the pages not listed yet: how many.
    size_t add(const std::vector<std::string>& paths);
    // The rows as given, with `selected` (-1 for none) the row selected.
    void setRows(const std::vector<std::string>& paths, int selected);
    void move(int by);
    void enableButtons();
    void message(const std::string& text);

    Platform platform_;
    BatchSession& batch_;
    std::string folder_; // where the folder chooser opens
    std::vector<std::string> chosen_;
};

} // namespace bw
