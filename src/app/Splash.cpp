#include "app/Splash.h"

#include "text/Text.h"

namespace bw {

SplashState::SplashState(Version v)
{
    version.Caption = "Version " + text::number(v.major) + "." + text::number(v.minor) + "." +
                         text::number(v.revision);
    productName.Caption = kTitle;
}

AboutState::AboutState(Shell& shell) : shell_(shell)
{
    windowTitle = kTitle;
    version.Caption = "2026 BRINDLEWORK project";
    title.Caption = "BRINDLEWORK Beta";
    credits.Caption = "Written by the BRINDLEWORK developers\r\n"
                             "Contact: info@brindlework.example, support@brindlework.example";
    sales.Caption = "Sales: sales@brindlework.example";
    homePage.Caption = site::kHome;
    okButton.Caption = "OK";
}

void AboutState::openHomePage() { shell_.open(site::kHome); }

} // namespace bw
