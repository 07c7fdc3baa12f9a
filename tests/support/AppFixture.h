#pragma once
// The whole program's windows on doubles: real files in a temp folder, settings in memory,
// scripted message boxes (or real ones, answered by the test).
#include <gtest/gtest.h>

#include <memory>

#include "app/qt/Windows.h"
#include "support/Doubles.h"

namespace bw::test {

template <class Boxes = ScriptedDialogs> struct AppFixture : ::testing::Test {
    Boxes dialogs;
    RealFileSystem files;
    RecordingShell shell;
    MemorySettings settings;
    TempDir dir;
    std::unique_ptr<App> app;

    void startApp(FtpClient* ftp = nullptr)
    {
        app = std::make_unique<App>(dialogs, files, shell, settings, Version{1, 0, 6}, dir.path("ftp/"), ftp);
        app->window().show();
    }
    template <class T> T* child(const char* name) { return app->window().findChild<T*>(name); }
};

} // namespace bw::test
