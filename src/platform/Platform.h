#pragma once
// Everything outside the program that a window's logic may reach.
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"
#include "platform/Secrets.h"
#include "platform/Settings.h"
#include "platform/Shell.h"

namespace bw {

struct Platform {
    // secrets: the desktop keyring; without one, passwords stay in the settings store.
    Platform(Dialogs& dialogs, FileSystem& files, Shell& shell, Host& host, SettingsStore& settings,
             SecretStore& secrets = noSecrets())
        : dialogs(dialogs), files(files), shell(shell), host(host), settings(settings), secrets(secrets)
    {
    }
    Dialogs& dialogs;
    FileSystem& files;
    Shell& shell;
    Host& host;
    SettingsStore& settings;
    SecretStore& secrets;
};

} // namespace bw
