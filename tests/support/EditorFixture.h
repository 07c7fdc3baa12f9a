#pragma once
// A main window on real files in a temp folder, with scripted dialogs.
#include <gtest/gtest.h>

#include "editor/Form1.h"
#include "support/Doubles.h"

namespace bw::test {

struct EditorFixture : ::testing::Test {
    ScriptedDialogs dialogs;
    RealFileSystem files;
    RecordingShell shell;
    FakeHost host;
    MemorySettings settings;
    TempDir dir;
    Form1 form{Platform{dialogs, files, shell, host, settings}, Version{1, 0, 6}};

    EditorFixture() { form.Form_Load(); }

    // File > Open, the dialog answering with path.
    void openFile(const std::string& path)
    {
        dialogs.chosen.push_back(path);
        form.fileopen();
    }
    void images(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            dir.write(name, kGif);
    }
};

} // namespace bw::test
