#pragma once
// A main window on real files in a temp folder, driven by short scripts whose every box,
// end and view lands in one log, so that a table row states a whole session.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <thread>

#include "batch/BatchSession.h"
#include "batch/LocalBatch.h"
#include "batch/FtpBatchSource.h"
#include "support/Doubles.h"
#include "support/FakePictures.h"

namespace bw::test {

// Real files; while held, the site index's reading of late.html (or of every page, off the
// window's thread) waits until it is let go, as on a large site.
struct LateFiles final : FileSystem {
    RealFileSystem real;
    enum class Hold { None, Late, Index };
    void hold(Hold what)
    {
        std::lock_guard lock(mutex_);
        held_ = what;
        freed_.notify_all();
    }
    ReadResult readFile(const std::string& p, std::string b) override
    {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] {
            return held_ == Hold::None || (held_ == Hold::Late && !p.ends_with("late.html")) ||
                   (held_ == Hold::Index && std::this_thread::get_id() == window_);
        });
        lock.unlock();
        return real.readFile(p, std::move(b));
    }
    std::optional<std::string> resolve(const std::string& p) override { return real.resolve(p); }
    bool exists(const std::string& p) override { return real.exists(p); }
    bool isFile(const std::string& p) override { return real.isFile(p); }
    bool sameFile(const std::string& a, const std::string& b) override { return real.sameFile(a, b); }
    FileStamp stamp(const std::string& p) override { return real.stamp(p); }
    WriteResult writeFile(const std::string& p, std::string_view b, std::string_view s) override { return real.writeFile(p, b, s); }
    void removeStaleCopies(const std::string& p) override { real.removeStaleCopies(p); }
    WriteResult makeFolders(const std::string& p) override { return real.makeFolders(p); }
    bool sharedAcrossThreads() const override { return true; }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    Hold held_ = Hold::None;
    const std::thread::id window_ = std::this_thread::get_id();
};

struct EditorFixture : ::testing::Test, FtpBatchSource, Desktop<LateFiles> {
    TempDir dir;
    FakePictures pictures;
    EditorSession form{platform(), Version{1, 0, 6}};
    BatchSession batch{platform(), form};
    std::unique_ptr<LocalBatch> batchWindow;
    std::vector<std::string> log;

    EditorFixture()
    {
        form.load();
        form.readPicturesWith([this] { return pictures.reader(); });
    }
    std::string tempPath() const override { return dir.path("ftp/"); }

    // One session: page.html (when given) opened, the steps run, then the view logged.
    struct Row {
        const char* name;
        std::string page;
        std::vector<std::string> steps;
        std::vector<std::string> log; // each entry a part of the logged line
        std::vector<std::string> files = {}; // "name=bytes", or "name" for a file that must not be
    };
    // A logged line matches when it holds its entry; one that does not shows in full.
    void expectLog(const std::vector<std::string>& entries) const
    {
        std::vector<std::string> seen = log;
        for (size_t i = 0; i < seen.size() && i < entries.size(); ++i)
            if (seen[i].find(entries[i]) != std::string::npos)
                seen[i] = entries[i];
        EXPECT_EQ(seen, entries);
    }
    void play(const Row& row)
    {
        SCOPED_TRACE(row.name);
        form.clearAll();
        form.readPicturesWith([this] { return pictures.reader(); });
        pictures.readings();
        log.clear();
        std::filesystem::remove_all(dir.path("page.html")); // a row may have left a folder there
        if (!row.page.empty())
            run("O:" + dir.write("page.html", row.page).substr(dir.path().size()));
        for (const std::string& step : row.steps)
            run(step);
        run("?");
        expectLog(row.log);
        for (const std::string& file : row.files) {
            const std::string name = file.substr(0, file.find('='));
            EXPECT_EQ(std::filesystem::exists(dir.path(name)) ? name + "=" + readAll(dir.path(name)) : name, file);
        }
    }

    // "h+"/"h-" hold and free the index's reading of late.html ("H+" of every page), "i" waits for the index and
    // the reading of the picture shown to end and lets the window hear of them; "p+"/"p-" hold and free the reading of
    // pictures, "p?" waits until one is held, "p=" waits for the picture shown alone, "p!" makes the reader unavailable, "r" logs the readings; "J:n" jumps to image n in the overview, "D" turns Decorative, "m" Missing only, "v" logs
    // the overview and the box's help; "=text" types, ">" NEXT, "<" BACK, "K" &Save, "S" File > Save, "A:name" Save As ("A"
    // cancelled), "O:name" File > Open ("O" cancelled, "o" no dialog wanted), "R" RESET, "N"
    // New, "X" Exit, "C" closing the window, "E" Use for every page, "Z" Undo, "Y" Redo; "y"/"n" answer the next question, "0"/"1"/"2"/"d"
    // the next choice (d: its default); "w:name=bytes" writes a file, "~bytes" another program
    // writes the page, "t" touches it, "/" turns it into a folder, "f" logs its bytes, "?" logs
    // the view; batches: "B:a,b" Add files then OK, "M" Move to next file, "F:name" a page the
    // FTP window fetched into tempPath().
    void run(const std::string& step)
    {
        const std::string arg = step.size() > 2 ? step.substr(2) : "";
        const std::string page = form.pagePath();
        const int ended = host.ended;
        bool stays = false;
        switch (step.empty() ? ' ' : step[0]) {
        case 'y': case 'n': dialogs.answers.push_back(step == "y" ? Answer::Yes : Answer::No); return;
        case '0': case '1': case '2': dialogs.chosenButtons.push_back(step[0] - '0'); return;
        case 'd': dialogs.chosenButtons.push_back(-1); return;
        case 'w': dir.write(arg.substr(0, arg.find('=')), arg.substr(arg.find('=') + 1)); return;
        case '~': std::ofstream(page, std::ios::binary) << step.substr(1); return;
        case '/': std::filesystem::remove(page); std::filesystem::create_directory(page); return;
        case 't': std::filesystem::last_write_time(page, std::filesystem::last_write_time(page) + std::chrono::minutes(1)); return;
        case 'f': log.push_back("file " + readAll(page)); return;
        case '?': log.push_back(view()); return;
        case '=': form.typeAlt(step.substr(1)); break;
        case '>': form.next(); break;
        case '<': form.back(); break;
        case 'K': form.keep(); break;
        case 'S': form.save(); break;
        case 'R': form.reset(); break;
        case 'N': form.newPage(); break;
        case 'X': form.exitProgram(); break;
        case 'C': stays = !form.mayClose(); break;
        case 'M': batch.nextFile(); break;
        case 'J': form.jumpTo(std::stoi(arg)); break;
        case 'E': form.useForEveryPage(); break;
        case 'Z': form.undo(); break;
        case 'Y': form.redo(); break;
        case 'D': form.setDecorative(!form.view().decorative.Value); break;
        case 'm': form.setMissingOnly(!form.view().missingOnly.Value); return;
        case 'L': // File > Site folder..., the folder chosen (none: cancelled); logs the site
            dialogs.folders.push_back(arg.empty() ? std::nullopt : std::optional(dir.path(arg)));
            form.chooseSiteFolder();
            log.push_back(form.view().siteFolder.Caption.empty() ? "no site" : "Site: " + form.view().siteFolder.Caption.substr(6).substr(dir.path().size()));
            break;
        case 'v': log.push_back(overview()); return;
        case 'h': case 'H':
            files.hold(step[1] == '-' ? LateFiles::Hold::None : step[0] == 'h' ? LateFiles::Hold::Late : LateFiles::Hold::Index);
            return;
        case 'i':
            while (form.siteIndexing())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (form.siteIndexTick(); form.siteIndexTickDue(); form.siteIndexTick())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            break;
        case 'p':
            if (step[1] == '?')
                pictures.waitHeld();
            else if (step[1] == '=')
                for (form.siteIndexTick(); form.pictureTextDue(); form.siteIndexTick())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            else if (step[1] == '!')
                form.readPicturesWith([this] { return pictures.reader(false); });
            else
                pictures.hold(step[1] == '+');
            return;
        case 'r': log.push_back("readings: " + pictures.readings() + "."); return;
        case 'o': form.openPage(); break;
        case 'A': case 'O':
            // "*.html" is what the dialog gives back when nothing was chosen.
            dialogs.chosen.push_back(step.size() < 2 ? std::nullopt : std::optional(arg[0] == '*' ? arg : dir.path(arg)));
            step[0] == 'A' ? form.saveAs() : form.openPage();
            break;
        case 'F':
            (void)form.openBatchPage(tempPath() + arg, EditorSession::BatchPage::Fetched); // the log shows the outcome
            break;
        case 'B': {
            batchWindow = std::make_unique<LocalBatch>(platform(), batch);
            batchWindow->closeWindow = [this] { log.push_back("(batch window closed)"); };
            std::istringstream names(arg);
            dialogs.chosenMany.emplace_back();
            for (std::string name; std::getline(names, name, ',');)
                dialogs.chosenMany.back().push_back(dir.path(name));
            batchWindow->addFiles();
            batchWindow->ok();
            break;
        }
        default: throw std::logic_error("no such step: " + step);
        }
        for (const Shown& box : dialogs.shown)
            log.push_back(box.title + ": " + box.text +
                          (!box.choices.empty() ? " [" + box.choices[0] + "/" + box.choices[1] + "/" + box.choices[2] + "]"
                           : box.buttons != Buttons::YesNo ? "" : box.defaultAnswer == Answer::No ? " [No]" : " [Yes]"));
        dialogs.shown.clear();
        if (!dialogs.answers.empty() || !dialogs.chosen.empty() || !dialogs.chosenButtons.empty() || !dialogs.folders.empty())
            log.push_back("(not asked)");
        dialogs.folders.clear();
        dialogs.answers.clear();
        dialogs.chosen.clear();
        dialogs.chosenButtons.clear();
        if (stays)
            log.push_back("(stays)");
        if (host.ended != ended)
            log.push_back("(ended)");
    }

    // Batch progress, the page, counter, box, picture name and the picture file shown; then
    // "|Z" while Undo is on and "|Y" while Redo is.
    std::string view() const
    {
        auto local = [this](const std::string& path) { return path.starts_with(dir.path()) ? path.substr(dir.path().size()) : path; };
        return (batch.view().progress.Visible ? batch.view().progress.Caption + "|" : "") + local(form.pagePath()) + "|" +
               form.view().imageCounter.Caption + "|" + form.view().altBox.Text() + "|" + form.view().imageName.Caption + "|" + local(form.view().picture.Picture) +
               (form.view().undoItem.Enabled ? "|Z" : "") + (form.view().redoItem.Enabled ? "|Y" : "");
    }
    // Rows as "index:name=state", the shown one with "*"; then the box on or off, the hints,
    // the offer's caption and how far the picture reaches.
    std::string overview()
    {
        std::string line;
        for (const int image : form.overviewImages()) {
            const EditorSession::OverviewRow row = form.overviewRow(image);
            line += std::to_string(row.index) + ":" + row.name + "=" +
                    (row.state == EditorSession::OverviewRow::State::Missing ? "missing" : row.state == EditorSession::OverviewRow::State::Decorative ? "decorative" : row.alt) +
                    (row.index == form.shownIndex() ? "* " : " ");
        }
        return line + (form.view().altBox.Enabled ? "box" : "no box") + (form.view().decorative.Value ? " decorative|" : "|") + form.view().hint.Caption + "|" + form.view().length.Caption +
               "|" + form.view().offer.Caption + "|" + form.view().uses.Caption;
    }
    // Pictures of their own: files with the same bytes are one picture under several names.
    void images(std::initializer_list<const char*> names) { for (const char* name : names) dir.write(name, kGif + name); }
};

} // namespace bw::test
