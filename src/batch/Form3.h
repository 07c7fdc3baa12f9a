#pragma once
// The local batch window: the user picks pages, "OK" hands them to the main window.
#include <functional>
#include <string>

#include "editor/Controls.h"
#include "editor/Form1.h"
#include "platform/Platform.h"

namespace bw {

class form3 {
public:
    form3(Platform platform, Form1& main);
    form3(const form3&) = delete;
    form3& operator=(const form3&) = delete;

    std::string Caption = "Local Batch";
    Label Label1;        // caption of the file list
    ListBox List1;       // chosen pages, full paths, in the order chosen
    ListBox List2;       // the same pages' file names
    Button Command1;     // "Add files"
    Button OKButton;
    Button CancelButton;
    FileDialog CommonDialog1;

    // Set by the owner: closes the window.
    std::function<void()> Unload;

    void Command1_Click();     // Add files
    void OKButton_Click();     // start the batch in the main window
    void CancelButton_Click(); // discard the choice

private:
    Platform platform_;
    Form1& main_;
};

} // namespace bw
