// The main window's FTP > Setup prompts.
#include "editor/Form1.h"
#include "settings/Profiles.h"

namespace bw {

void Form1::promptSetting(const char* prompt, const char* title, const char* defaultAnswer, const char* key,
                          bool masked)
{
    // The prompt opens with what is stored; Cancel keeps it.
    const std::string stored = platform_.settings.getSetting(store::kApp, store::kMain, key, defaultAnswer);
    const std::optional<std::string> answer = platform_.dialogs.inputBox(prompt, title, stored, masked);
    if (!answer)
        return;
    WriteResult saved = platform_.settings.saveSetting(store::kApp, store::kMain, key, *answer);
    if (!saved.ok)
        message(settingsNotSaved(saved));
}

void Form1::url_Click() { promptSetting("where is the site", "Url", "ftp.brindlework.example", "Url"); }
void Form1::na_Click() { promptSetting("What is the username ?", "UserNamne", "UserNamne", "UserName"); }
void Form1::pass_Click()
{
    // Kept as the host profiles' passwords are: in the desktop keyring while one runs.
    HostProfiles passwords(platform_);
    const std::string stored = passwords.mainPassword("Wren");
    if (!passwords.keyringProblem().empty())
        message(passwords.keyringProblem());
    const std::optional<std::string> answer =
        platform_.dialogs.inputBox("What is the password ?", "Password", stored, true);
    if (!answer)
        return;
    WriteResult saved = passwords.saveMainPassword(*answer);
    if (!saved.ok)
        message(settingsNotSaved(saved));
    else if (!passwords.keyringProblem().empty())
        message(passwords.keyringProblem());
}

} // namespace bw
