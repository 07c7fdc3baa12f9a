#pragma once
// Everything outside the program that a window's logic may reach.
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"
#include "platform/Settings.h"
#include "platform/Shell.h"

namespace bw {

struct Platform {
    Dialogs& dialogs;
    FileSystem& files;
    Shell& shell;
    Host& host;
    SettingsStore& settings;
};

} // namespace bw
