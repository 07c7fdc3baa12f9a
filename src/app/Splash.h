#pragma once
// The splash window and the about window, as plain state.
#include <string>

#include "platform/Controls.h"
#include "editor/EditorSession.h"

namespace bw {

class frmSplash {
public:
    explicit frmSplash(Version version);
    Label lblProductName;
    Label lblVersion;
    static constexpr int TimerInterval = 2500; // ms
};

class frmAbout {
public:
    explicit frmAbout(Shell& shell);
    std::string Caption;
    Label lblTitle, lblVersion, lblDescription, Label2, Label1;
    Button cmdOK;
    void Label1_Click(); // the home page link

private:
    Shell& shell_;
};

} // namespace bw
