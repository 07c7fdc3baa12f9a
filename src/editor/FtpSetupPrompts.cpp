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
void Form1::pass_Click() { promptSetting("What is the password ?", "Password", "Wren", "Password", true); }

} // namespace bw
