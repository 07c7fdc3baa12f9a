// The main window's FTP > Setup prompts.
#include "editor/Form1.h"
#include "settings/Profiles.h"

namespace bw {

void Form1::promptSetting(const char* prompt, const char* title, const char* defaultAnswer, const char* key)
{
    // Cancel gives "", which is stored like any answer.
    std::string answer = platform_.dialogs.inputBox(prompt, title, defaultAnswer);
    WriteResult saved = platform_.settings.saveSetting(store::kApp, store::kMain, key, answer);
    if (!saved.ok)
        message(settingsNotSaved(saved));
}

void Form1::url_Click() { promptSetting("where is the site", "Url", "ftp.brindlework.example", "Url"); }
void Form1::na_Click() { promptSetting("What is the username ?", "UserNamne", "UserNamne", "UserName"); }
void Form1::pass_Click() { promptSetting("What is the password ?", "Password", "Wren", "Password"); }

} // namespace bw
