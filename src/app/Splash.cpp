#include "app/Splash.h"

#include "text/Text.h"

namespace bw {

frmSplash::frmSplash(Version v)
{
    lblVersion.Caption = "Version " + text::number(v.major) + "." + text::number(v.minor) + "." +
                         text::number(v.revision);
    lblProductName.Caption = kTitle;
}

frmAbout::frmAbout(Shell& shell) : shell_(shell)
{
    Caption = kTitle;
    lblVersion.Caption = "2026 BRINDLEWORK project";
    lblTitle.Caption = "BRINDLEWORK Beta";
    lblDescription.Caption = "Written by the BRINDLEWORK developers\r\n"
                             "Contact: info@brindlework.example, support@brindlework.example";
    Label2.Caption = "Sales: sales@brindlework.example";
    Label1.Caption = site::kHome;
    cmdOK.Caption = "OK";
}

void frmAbout::Label1_Click() { shell_.open(site::kHome); }

} // namespace bw
