#pragma once
// Doubles of the platform: scripted answers and dialog results, recorded calls.
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"
#include "platform/Shell.h"

namespace bw::test {

struct Shown {
    std::string text, title;
    Buttons buttons;
};

class ScriptedDialogs : public Dialogs {
public:
    std::deque<Answer> answers;                    // for Yes/No questions, in order
    std::function<Answer()> answerer;              // asked when answers run out
    std::deque<std::optional<std::string>> chosen; // dialog results; nullopt = cancelled
    std::function<std::optional<std::string>()> chooser; // asked when chosen runs out
    std::vector<Shown> shown;
    std::vector<FileDialog> openRequests, saveRequests;

    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title) override
    {
        shown.push_back({text, title, buttons});
        if (buttons != Buttons::YesNo)
            return Answer::Ok;
        if (answers.empty() && answerer)
            return answerer();
        if (answers.empty())
            throw std::logic_error("unexpected question: " + text);
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void showOpen(FileDialog& d) override { take(d, openRequests); }
    void showSave(FileDialog& d) override { take(d, saveRequests); }

    bool saw(const std::string& text, const std::string& title) const
    {
        for (const auto& s : shown)
            if (s.text == text && s.title == title)
                return true;
        return false;
    }

private:
    void take(FileDialog& d, std::vector<FileDialog>& log)
    {
        log.push_back(d);
        if (chosen.empty() && chooser)
            chosen.push_back(chooser());
        if (chosen.empty())
            throw std::logic_error("unexpected file dialog");
        auto result = chosen.front();
        chosen.pop_front();
        if (!result)
            return;
        d.FileName = *result;
        d.FileTitle = std::filesystem::path(*result).filename().string();
    }
};

class RecordingShell : public Shell {
public:
    std::vector<std::string> opened;
    void open(const std::string& target) override { opened.push_back(target); }
};

class FakeHost : public Host {
public:
    std::vector<std::string> focus;
    int ended = 0, abouts = 0, splashes = 0;
    void setFocus(std::string_view control) override { focus.emplace_back(control); }
    void endProgram() override { ++ended; }
    void showAbout() override { ++abouts; }
    void loadSplash() override { ++splashes; }
};

// Files in memory: fast enough for long random sessions. A file's look changes with every
// write through this interface; changes made straight into `files` keep it, as a change
// within the clock's granularity would, so only the bytes can tell.
class MemoryFileSystem : public FileSystem {
public:
    std::map<std::string, std::string> files;
    std::map<std::string, int64_t> writes;
    std::optional<std::string> resolve(const std::string& path) override
    {
        if (files.count(path))
            return path;
        return std::nullopt;
    }
    bool exists(const std::string& path) override { return files.count(path) > 0; }
    bool isFile(const std::string& path) override { return files.count(path) > 0; }
    bool sameFile(const std::string& a, const std::string& b) override { return a == b && exists(a); }
    FileStamp stamp(const std::string& path) override
    {
        auto it = files.find(path);
        if (it == files.end())
            return {};
        FileStamp s;
        s.exists = true;
        s.size = it->second.size();
        s.modified = writes[path];
        return s;
    }
    ReadResult readFile(const std::string& path, std::string = {}) override
    {
        auto it = files.find(path);
        if (it == files.end())
            return {false, {}, "the file is not there", {}};
        return {true, it->second, {}, stamp(path)};
    }
    WriteResult writeFile(const std::string& path, std::string_view bytes, std::string_view suffix = {}) override
    {
        files[path] = std::string(bytes) + std::string(suffix);
        ++writes[path];
        return {true, {}, stamp(path)};
    }
    void removeStaleCopies(const std::string&) override {}
};

// A folder of its own under the system's temp folder, removed afterwards.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("bw-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string path(const std::string& name = "") const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        auto p = path_ / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

private:
    std::filesystem::path path_;
};

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A tiny valid GIF, enough for the program to take an image file as present.
inline const std::string kGif = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;", 43);

} // namespace bw::test
