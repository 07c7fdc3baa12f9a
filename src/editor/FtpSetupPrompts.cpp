// The main window's FTP > Setup prompts.
#include "editor/EditorSession.h"
#include "settings/Profiles.h"

namespace bw {

void EditorSession::promptSetting(const char* prompt, const char* title, const char* defaultAnswer, const char* key,
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

void EditorSession::askSiteAddress() { promptSetting("where is the site", "Url", "ftp.brindlework.example", "Url"); }
void EditorSession::askUserName() { promptSetting("What is the username ?", "UserNamne", "UserNamne", "UserName"); }
void EditorSession::askPassword()
{
    // Kept as the host profiles' passwords are: in the desktop keyring while one runs. The
    // prompt opens once the keyring has answered; EditorSession lives as long as the program.
    HostProfiles(platform_).mainPassword("Wren", [this](const std::string& stored, const std::string& problem) {
        if (!problem.empty())
            message(problem);
        const std::optional<std::string> answer =
            platform_.dialogs.inputBox("What is the password ?", "Password", stored, true);
        if (!answer)
            return;
        HostProfiles(platform_).saveMainPassword(*answer, [this](const WriteResult& saved, const std::string& problem) {
            if (!saved.ok)
                message(settingsNotSaved(saved));
            else if (!problem.empty())
                message(problem);
        });
    });
}

} // namespace bw
