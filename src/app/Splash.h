#pragma once
// The splash window and the about window, as plain state.
#include <string>

#include "platform/Controls.h"
#include "editor/EditorSession.h"

namespace bw {

class SplashState {
public:
    explicit SplashState(Version version);
    Label productName;
    Label version;
    static constexpr int kShownFor = 2500; // ms
};

class AboutState {
public:
    explicit AboutState(Shell& shell);
    std::string windowTitle;
    Label title, version, credits, sales, homePage;
    Button okButton;
    void openHomePage(); // the home page link clicked

private:
    Shell& shell_;
};

} // namespace bw
