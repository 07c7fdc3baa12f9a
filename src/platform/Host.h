#pragma once
#include <string_view>

namespace bw {

// What a window's logic asks of the program around it: focus, other windows, the end.
class Host {
public:
    virtual ~Host() = default;
    virtual void setFocus(std::string_view control) = 0;
    // Closes every window at once, without any window's closing handling.
    virtual void endProgram() = 0;
    virtual void showAbout() = 0;
    // The local batch window: opened beside the main window, or closed when it is open.
    virtual void showLocalBatch() = 0;
    virtual void unloadLocalBatch() = 0;
    // The FTP window, opened beside the main window.
    virtual void showFtp() = 0;
    // Loads the splash window without showing it; it closes itself.
    virtual void loadSplash() = 0;
};

} // namespace bw
