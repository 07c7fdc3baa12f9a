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

    std::string title = "Local Batch";
    Label pagesLabel;        // caption of the file list
    ListBox pageList;     // chosen pages, full paths, in batch order, each once; its index is the row selected
    ListBox pageNames;       // the same pages' file names
    Button addFilesButton;     // "Add files"
    Button addFolderButton;     // "Add folder"
    Button removeButton;     // "Remove"
    Button upButton;     // "Move Up"
    Button downButton;     // "Move Down"
    CheckBox missingAltOnly;     // only pages with an image missing an ALT go into the batch
    Button okButton;
    Button cancelButton;
    FileDialog fileDialog;

    // Set by the owner: closes the window.
    std::function<void()> closeWindow;

    void addFiles();     // Add files
    void addFolder();     // Add folder
    void removeSelected();     // Remove the row selected
    void moveSelectedUp();     // Move it up
    void moveSelectedDown();     // Move it down
    void ok();     // chooseBatch, then startChosenBatch
    void cancel(); // discard the choice

    // "OK" in two steps, so that a view can put its window away between them. The pages that
    // go into the batch, missingAltOnly applied; false, and the window stays, when none is left.
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
