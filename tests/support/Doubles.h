#pragma once
// Doubles of the platform: scripted answers and dialog results, recorded calls.
#include <algorithm>
#include <csignal>
#include <deque>
#include <sys/resource.h>
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

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Host.h"
#include "platform/Platform.h"
#include "platform/Secrets.h"
#include "platform/Settings.h"
#include "platform/Shell.h"
#include "settings/Profiles.h"

namespace bw::test {

struct Shown {
    std::string text, title;
    Buttons buttons;
    Answer defaultAnswer = Answer::Yes;
    std::vector<std::string> choices; // a choice's buttons
};

struct Prompted {
    std::string prompt, title, defaultAnswer;
    bool masked = false;
};

class ScriptedDialogs : public Dialogs {
public:
    std::deque<Answer> answers;                    // for Yes/No questions, in order
    std::function<Answer()> answerer;              // asked when answers run out
    std::deque<std::optional<std::string>> chosen; // dialog results; nullopt = cancelled
    std::function<std::optional<std::string>()> chooser; // asked when chosen runs out
    std::vector<Shown> shown;
    std::deque<std::vector<std::string>> chosenMany; // several-file dialog results; empty = cancelled
    std::vector<FileDialog> openManyRequests;
    std::deque<std::optional<std::string>> typed; // prompt answers; nullopt = Cancel
    std::vector<Prompted> prompts;
    std::deque<std::optional<std::string>> folders; // folder chooser results; nullopt = cancelled
    std::vector<std::string> folderStarts;          // where each folder chooser opened
    std::deque<int> chosenButtons;  // answers to choices, by index (-1: the default)
    std::function<int()> chooseAnswerer; // asked when chosenButtons run out

    Answer msgBox(const std::string& text, Buttons buttons, const std::string& title,
                  Answer defaultAnswer = Answer::Yes) override
    {
        shown.push_back({text, title, buttons, defaultAnswer, {}});
        if (buttons != Buttons::YesNo)
            return Answer::Ok;
        if (answers.empty() && answerer)
            return answerer();
        return next(answers, "question: " + text);
    }
    // Recorded as a box with no buttons of its own.
    void showText(const std::string& text, const std::string& title) override
    {
        shown.push_back({text, title, Buttons::Ok, Answer::Ok, {}});
    }
    // Recorded as an OK/Cancel box of the text and its list; answered like a question (Yes: OK).
    bool confirmList(const std::string& text, const std::string& list, const std::string& title) override
    {
        return msgBox(text + "\n" + list, Buttons::YesNo, title) == Answer::Yes;
    }
    bool showOpen(FileDialog& d) override { return take(d); }
    bool showSave(FileDialog& d) override { return take(d); }
    std::vector<std::string> showOpenMany(FileDialog& d) override
    {
        openManyRequests.push_back(d);
        return next(chosenMany, "several-file dialog");
    }
    std::optional<std::string> chooseFolder(const std::string&, const std::string& start) override
    {
        folderStarts.push_back(start);
        return next(folders, "folder chooser");
    }
    int choose(const std::string& text, const std::string& title, const std::vector<std::string>& choices,
               int defaultChoice, int) override
    {
        shown.push_back({text, title, Buttons::YesNo, Answer::Yes, choices});
        if (chosenButtons.empty() && chooseAnswerer)
            chosenButtons.push_back(chooseAnswerer());
        const int answer = next(chosenButtons, "choice: " + text);
        return answer < 0 ? defaultChoice : answer;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title, const std::string& initial,
                                        bool masked = false) override
    {
        prompts.push_back({prompt, title, initial, masked});
        return next(typed, "prompt: " + prompt);
    }

private:
    // The next scripted answer; a question the test did not script ends it.
    template <class T> static T next(std::deque<T>& queue, const std::string& what)
    {
        if (queue.empty())
            throw std::logic_error("unexpected " + what);
        T front = std::move(queue.front());
        queue.pop_front();
        return front;
    }
    bool take(FileDialog& d)
    {
        if (chosen.empty() && chooser)
            chosen.push_back(chooser());
        const std::optional<std::string> result = next(chosen, "file dialog");
        if (result)
            d.FileName = *result, d.FileTitle = std::filesystem::path(*result).filename().string();
        return result.has_value();
    }
};

class RecordingShell : public Shell {
public:
    std::vector<std::string> opened;
    void open(const std::string& target) override { opened.push_back(target); }
};

class FakeHost : public Host {
public:
    int ended = 0;
    void setFocus(std::string_view) override {}
    void endProgram() override { ++ended; }
    void showAbout() override {}
    void showLocalBatch() override {}
    void unloadLocalBatch() override {}
    void showFtp() override {}
    void loadSplash() override {}
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
        return files.count(path) ? std::optional(path) : std::nullopt;
    }
    bool exists(const std::string& path) override { return files.count(path) > 0; }
    bool isFile(const std::string& path) override { return files.count(path) > 0; }
    bool sameFile(const std::string& a, const std::string& b) override { return a == b && exists(a); }
    FileStamp stamp(const std::string& path) override
    {
        auto it = files.find(path);
        return it == files.end() ? FileStamp{} : FileStamp{.exists = true, .size = it->second.size(), .modified = writes[path]};
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
    WriteResult makeFolders(const std::string&) override { return {true, {}, {}}; }
};

// The settings store in memory: keys in order of first save, matched without regard to ASCII
// letter case, as are sections.
class MemorySettings : public SettingsStore {
public:
    WriteResult saveSetting(const std::string& app, const std::string& section, const std::string& key,
                            const std::string& value) override
    {
        SettingPairs& pairs = sections_[folded(app + '\0' + section)];
        if (auto it = find(pairs, key); it != pairs.end())
            it->second = value;
        else
            pairs.emplace_back(key, value);
        return {true, {}};
    }
    std::string getSetting(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& defaultValue = {}) override
    {
        SettingPairs pairs = getAllSettings(app, section);
        auto it = find(pairs, key);
        return it == pairs.end() ? defaultValue : it->second;
    }
    SettingPairs getAllSettings(const std::string& app, const std::string& section) override
    {
        auto it = sections_.find(folded(app + '\0' + section));
        return it == sections_.end() ? SettingPairs{} : it->second;
    }
    WriteResult deleteSetting(const std::string& app, const std::string& section, const std::string& key) override
    {
        SettingPairs& pairs = sections_[folded(app + '\0' + section)];
        if (auto it = find(pairs, key); it != pairs.end())
            pairs.erase(it);
        return {true, {}};
    }
    std::string folder() const override { return folderPath; }
    std::string folderPath = "/config/brindlework/"; // where the marker file goes

private:
    static std::string folded(std::string s)
    {
        for (char& c : s)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        return s;
    }
    static SettingPairs::iterator find(SettingPairs& pairs, const std::string& key)
    {
        return std::find_if(pairs.begin(), pairs.end(), [&](const auto& pair) { return folded(pair.first) == folded(key); });
    }
    std::map<std::string, SettingPairs> sections_;
};

// What the core asks of the desktop, scripted and recorded, on files of the test's choice.
template <class Files> struct Desktop {
    ScriptedDialogs dialogs;
    Files files;
    RecordingShell shell;
    FakeHost host;
    MemorySettings settings;
    Platform platform() { return {dialogs, files, shell, host, settings}; }
};

// The desktop keyring in memory; `running` false: none is there; `refusal`: why each call fails.
// Answers at once.
class MemorySecrets : public SecretStore {
public:
    bool running = true;
    std::string refusal;
    std::map<std::string, std::string> secrets;

    bool available() override { return running; }
    void read(const std::string& key, ReadDone done) override
    {
        perform([this, key, done] {
            const bool found = refusal.empty() && secrets.count(key);
            answer(done, SecretRead{refusal.empty(), found, found ? secrets[key] : "", refusal});
        });
    }
    void write(const std::string& key, const std::string& s, WriteDone done) override
    {
        perform([this, key, s, done] { answer(done, change([&] { secrets[key] = s; })); });
    }
    void remove(const std::string& key, WriteDone done) override
    {
        perform([this, key, done] { answer(done, change([&] { secrets.erase(key); })); });
    }

protected:
    // Does a call and answers it.
    virtual void perform(std::function<void()> call) { call(); }

private:
    template <class F> WriteResult change(F f)
    {
        return refusal.empty() ? (f(), WriteResult{true, {}, {}}) : WriteResult{false, refusal, {}};
    }
    template <class Done, class Result> static void answer(const Done& done, const Result& result)
    {
        if (done)
            done(result);
    }
};

// A keyring that does each call, and answers it, only when the test releases it: what waits
// for the keyring can be caught in the middle.
class HeldSecrets : public MemorySecrets {
public:
    // Does the calls held, in order, and those they make meanwhile.
    void release()
    {
        while (!held_.empty()) {
            std::function<void()> call = std::move(held_.front());
            held_.pop_front();
            call();
        }
    }

protected:
    void perform(std::function<void()> call) override { held_.push_back(std::move(call)); }

private:
    std::deque<std::function<void()>> held_;
};

// A host profile call's answer, from a keyring that answers at once.
template <class Result> struct Told {
    Result result{};
    std::string problem;
    bool answered = false;
};
inline Told<WriteResult> saved(HostProfiles& profiles, const std::string& host, const HostProfile& profile)
{
    Told<WriteResult> told;
    profiles.save(host, profile, [&](const WriteResult& r, const std::string& p) { told = {r, p, true}; });
    return told;
}
inline Told<HostProfile> loaded(HostProfiles& profiles, const std::string& host)
{
    Told<HostProfile> told;
    profiles.load(host, [&](const HostProfile& r, const std::string& p) { told = {r, p, true}; });
    return told;
}

// A user's click on the row showing `item`; a click on the row already chosen counts too.
inline void clickRow(ListBox& list, const std::string& item)
{
    const auto& items = list.items();
    auto at = std::find(items.begin(), items.end(), item);
    if (at == items.end())
        throw std::logic_error("no row " + item);
    const int row = static_cast<int>(at - items.begin());
    if (row == list.ListIndex())
        list.Click();
    else
        list.setListIndex(row);
}

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

// While it lives, no file of this process may grow past a few bytes, as on a full disk;
// root is held to this too.
class DiskFull {
public:
    DiskFull()
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit tiny = old_;
        tiny.rlim_cur = 8;
        ::setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~DiskFull() { ::setrlimit(RLIMIT_FSIZE, &old_); }
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;

private:
    rlimit old_ {};
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
