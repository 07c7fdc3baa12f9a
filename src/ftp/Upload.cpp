#include "ftp/Upload.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>

#include "editor/EditorSession.h"
#include "platform/Listing.h"
#include "page/ImageFinder.h"
#include "text/Text.h"

namespace bw {

namespace {


ConnectOptions optionsFor(const HostProfile& profile, const std::string& trustFolder)
{
    ConnectOptions options;
    options.protocol = profile.protocol;
    options.port = profile.port;
    options.keyFile = profile.keyFile;
    options.trustFolder = trustFolder;
    return options;
}

// A stamp tells a change only when both have a time; a size known on both sides must agree too.
bool stampsTell(const RemoteStamp& then, const RemoteStamp& now) { return then.hasTime && now.hasTime; }
bool sameStamp(const RemoteStamp& then, const RemoteStamp& now)
{
    return then.time == now.time && (!then.hasSize || !now.hasSize || then.size == now.size);
}

// A tag as the changes list shows it: one line, and not a whole page of it.
std::string tagLine(std::string_view page, const std::vector<FoundImage>& images, std::size_t i)
{
    if (i >= images.size())
        return "(none)";
    std::string tag(images[i].tag.whole.of(page));
    for (char& c : tag)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    constexpr std::size_t kLongest = 2000;
    if (tag.size() > kLongest)
        tag = tag.substr(0, kLongest) + " ...";
    return tag;
}

// In the temp path, one line per page: host, user, server folder, name, size and time ("-"
// when unknown), and "mirrored" when the page lies in the folder mirrorFolder gives, split by tabs.
constexpr const char* kManifest = ".brindlework-downloads";
constexpr const char* kMirrored = "mirrored";
constexpr std::size_t kLongestName = 255; // bytes, as Linux file systems take them

std::vector<std::string> fields(std::string_view line)
{
    std::vector<std::string> out;
    for (std::size_t at = 0;;) {
        const std::size_t tab = line.find('\t', at);
        out.emplace_back(line.substr(at, tab == std::string_view::npos ? std::string_view::npos : tab - at));
        if (tab == std::string_view::npos)
            return out;
        at = tab + 1;
    }
}

// One folder name for any text: what would split it, climb out or name no folder is written as %XX.
std::string folderName(std::string_view text)
{
    if (text.empty())
        return "%";
    const bool dots = text == "." || text == "..";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == '%' || dots)
            out += text::percentByte(byte);
        else
            out += c;
    }
    return out;
}

template <class Number> bool numberFrom(const std::string& text, Number& n)
{
    return !text.empty() && std::from_chars(text.data(), text.data() + text.size(), n).ptr == text.data() + text.size();
}

std::string count(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string originalPath(const std::string& localPath)
{
    // A name too long for the suffix has its copy named by its stem.
    const std::string name = nameOfPath(localPath), kept = "." + name + ".original";
    return folderOfPath(localPath) + (kept.size() <= kLongestName ? kept : "." + shortStem(name) + ".original");
}

std::string mirrorFolder(const std::string& host, const std::string& user, const std::string& serverFolder)
{
    // An anonymous login is the account FTP servers call "anonymous".
    std::string out = folderName(host) + '/' + (user.empty() ? "anonymous" : folderName(user)) + '/';
    // Without the server's word on where login put us, the folders count from the login folder;
    // "%login" is no name folderName gives.
    if (serverFolder.empty() || serverFolder.front() != '/')
        out += "%login/";
    for (std::size_t at = 0; at < serverFolder.size();) {
        const std::size_t end = std::min(serverFolder.find('/', at), serverFolder.size());
        if (end > at)
            out += folderName(std::string_view(serverFolder).substr(at, end - at)) + '/';
        at = end + 1;
    }
    return out;
}

namespace {

// A line of the records file in folder as the page it tells of; none for a line this version cannot use.
std::optional<DownloadedPage> recordedPage(const std::string& folder, std::string_view line)
{
    std::vector<std::string> f = fields(line);
    // An earlier version wrote protocol, port, key file and backup too: they are not taken.
    if (f.size() == 10)
        f = {f[0], f[1], f[6], f[7], f[8], f[9]};
    // Before the temp path mirrored the server's folders, every page lay right in it.
    const bool mirrored = f.size() == 7 && f[6] == kMirrored;
    if ((f.size() != 6 && !mirrored) || !isSafeName(f[3]))
        return std::nullopt;
    DownloadedPage page{f[0], {}, f[2], f[3], {}, folder + (mirrored ? mirrorFolder(f[0], f[1], f[2]) : "") + f[3], folder, mirrored};
    page.profile.user = f[1];
    page.stamp.hasSize = numberFrom(f[4], page.stamp.size);
    page.stamp.hasTime = numberFrom(f[5], page.stamp.time);
    return page;
}

} // namespace

void RoundTrip::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

void RoundTrip::connect(const std::string& host, const HostProfile& profile, Then then)
{
    connectWith(host, profile, optionsFor(profile, platform_.settings.folder()), std::move(then));
}

void RoundTrip::connectWith(const std::string& host, const HostProfile& profile, ConnectOptions options, Then then)
{
    transfers_.run(
        "Connecting to " + host,
        [host, options, user = profile.user, password = profile.password](FtpClient& client) {
            client.setOptions(options);
            return client.connect(host, user, password);
        },
        lifetime_.guard([this, host, profile, options, then = std::move(then)](const FtpResult& result) mutable {
            if (result.ok) {
                ++session_;
                host_ = host;
                profile_ = profile;
                return then(result);
            }
            // A key accepted a moment ago that the server no longer shows is not asked about again.
            if (result.number != ftp_error::unknownKey || !options.acceptedKey.empty())
                return then(result);
            const int choice = platform_.dialogs.choose(
                host + " shows a key this program has not seen before:\n" + result.fingerprint +
                    "\n\nAccept it only if it is the key your host gave you. Accept Always keeps it for the next time.",
                kTitle, {"Accept Once", "Accept Always", "Cancel"}, 2, 2);
            if (choice != 0 && choice != 1)
                return then({false, ftp_error::cancelled, ""});
            options.acceptedKey = result.fingerprint;
            options.acceptAlways = choice == 1;
            connectWith(host, profile, options, std::move(then));
        }));
}

std::string RoundTrip::pagePath(const std::string& tempPath, const std::string& name) const
{
    return tempPath + mirrorFolder(host_, profile_.user, transfers_.currentDir()) + name;
}

void RoundTrip::fetchPage(const std::string& name, const std::string& tempPath, Then then)
{
    const std::string localPath = pagePath(tempPath, name), original = originalPath(localPath);
    if (const WriteResult made = platform_.files.makeFolders(folderOfPath(localPath)); !made.ok)
        return then({false, ftp_error::localFile, name + " could not be written to the temp path: " + made.error + "."});
    auto stamp = std::make_shared<RemoteStamp>(); // the server's, just before the download; unknown when it would not say
    transfers_.run(
        "Downloading " + name,
        [name, original, stamp](FtpClient& client) {
            // Taken before the bytes: a change in between makes the upload ask rather than overwrite.
            FtpResult told = client.stat(name, *stamp);
            if (told.number == ftp_error::cancelled)
                return told;
            if (!told.ok)
                *stamp = {};
            // Into the original first: the transport replaces it only with a whole copy.
            return client.download(name, original);
        },
        lifetime_.guard([this, name, tempPath, localPath, original, stamp, folder = transfers_.currentDir(),
                         before = platform_.files.readFile(original), then = std::move(then)](const FtpResult& result) {
            if (!result.ok)
                return then(result);
            ReadResult got = platform_.files.readFile(original);
            WriteResult page = got.ok ? platform_.files.writeFile(localPath, got.bytes) : WriteResult{false, got.error, {}};
            if (!page.ok) {
                // The page stays as it was, so its original must too.
                std::error_code ignored;
                if (before.ok) // failing too, it fails as the page did, which the message below tells
                    (void)platform_.files.writeFile(original, before.bytes);
                else
                    std::filesystem::remove(original, ignored);
                return then({false, ftp_error::localFile, name + " could not be written to the temp path: " + page.error + "."});
            }
            DownloadedPage record{host_, profile_, folder, name, *stamp, localPath, tempPath};
            auto same = std::find_if(pages_.begin(), pages_.end(), [&](const DownloadedPage& p) { return p.localPath == localPath; });
            if (same != pages_.end())
                *same = std::move(record);
            else
                pages_.push_back(std::move(record));
            remember(tempPath);
            then({true, 0, {}});
        }));
}

void RoundTrip::remember(const std::string& tempPath)
{
    recall(tempPath); // those of an earlier run stay written down too
    std::string mine;
    std::set<std::string> paths;
    for (const DownloadedPage& p : pages_) {
        if (p.records != tempPath)
            continue;
        paths.insert(p.localPath);
        // Only what finds the host's profile again: the profile, not this file, decides how to reach it.
        const std::string line = p.host + '\t' + p.profile.user + '\t' + p.folder + '\t' + p.name + '\t' +
                                 (p.stamp.hasSize ? std::to_string(p.stamp.size) : "-") + '\t' +
                                 (p.stamp.hasTime ? std::to_string(p.stamp.time) : "-") + (p.mirrored ? std::string("\t") + kMirrored : "");
        // A server folder may hold a tab or a line end; such a page goes up in this run only.
        if (std::count(line.begin(), line.end(), '\t') == (p.mirrored ? 6 : 5) && line.find_first_of("\r\n") == std::string::npos)
            mine += line + '\n';
    }
    // Another program using the same temp path keeps the records of its own pages, and those
    // of a version that writes them otherwise.
    const WriteResult written = platform_.files.updatePrivateFile(tempPath + kManifest, [&](std::string_view there) {
        std::string text;
        while (!there.empty()) {
            const std::size_t end = std::min(there.find('\n'), there.size());
            const std::string_view line = there.substr(0, end);
            const std::optional<DownloadedPage> page = recordedPage(tempPath, line);
            if (!line.empty() && (!page || !paths.count(page->localPath)))
                text += std::string(line) + '\n';
            there.remove_prefix(std::min(end + 1, there.size()));
        }
        return text + mine;
    });
    // Not written, the pages still go up in this run; only a restart forgets them. Told once a path.
    if (!written.ok && unwritten_.insert(tempPath).second)
        message("The record of the downloaded pages, " + tempPath + kManifest + ", could not be written: " + written.error +
                ". The pages go up from this run as usual, but after a restart they would not be known: upload them "
                "before you close the program.");
}

void RoundTrip::recall(const std::string& folder)
{
    if (!recalled_.insert(folder).second)
        return;
    ReadResult kept = platform_.files.readFile(folder + kManifest);
    if (!kept.ok)
        return;
    std::string_view rest = kept.bytes;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::optional<DownloadedPage> page = recordedPage(folder, rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!page)
            continue;
        const bool known = std::any_of(pages_.begin(), pages_.end(), [&](const DownloadedPage& p) { return p.localPath == page->localPath; });
        if (known || !platform_.files.isFile(page->localPath) || !platform_.files.isFile(originalPath(page->localPath)))
            continue;
        page->recalled = true;
        pages_.push_back(std::move(*page));
    }
}

void RoundTrip::loadProfiles()
{
    HostProfiles profiles(platform_);
    const std::vector<std::string> stored = profiles.stored();
    std::set<std::string> hosts;
    for (DownloadedPage& page : pages_) {
        page.noProfile = std::find(stored.begin(), stored.end(), page.host) == stored.end();
        // A page of this run without a stored profile goes the way it came.
        page.profilePending = !page.noProfile;
        page.noProfile = page.noProfile && page.recalled;
        if (page.profilePending)
            hosts.insert(page.host);
    }
    for (const std::string& host : hosts) { // each host's profile read once
        ++profilesPending_;
        profiles.load(host, lifetime_.guard([this, host](const HostProfile& profile, const std::string&) {
            for (DownloadedPage& page : pages_)
                if (page.profilePending && page.host == host) {
                    page.profilePending = false;
                    // Passwords are never written down: the profile has it, for the same user.
                    const std::string password = profile.user == page.profile.user ? profile.password : page.profile.password;
                    page.profile = {page.profile.user, password, profile.path, profile.protocol,
                                    profile.port, profile.keyFile, profile.keepBackup};
                }
            if (--profilesPending_ == 0)
                for (auto& work : std::exchange(waiting_, {}))
                    work();
        }));
    }
}

void RoundTrip::whenProfilesKnown(std::function<void()> work)
{
    if (profilesPending_ > 0)
        waiting_.push_back(std::move(work));
    else
        work();
}

bool RoundTrip::sameSession(const DownloadedPage& page) const
{
    const HostProfile& a = profile_;
    const HostProfile& b = page.profile;
    return transfers_.connected() && session_ > 0 && host_ == page.host && a.user == b.user && a.password == b.password &&
           a.protocol == b.protocol && a.port == b.port && a.keyFile == b.keyFile;
}

void RoundTrip::changedOnServer(const DownloadedPage& page, std::shared_ptr<const std::string> original,
                                std::function<void(const FtpResult&, bool changed)> then)
{
    struct Told {
        bool byStamp = false;
        bool changed = false;
    };
    auto told = std::make_shared<Told>();
    const std::string copy = folderOfPath(page.localPath) + "." + shortStem(page.name) + ".server";
    transfers_.run(
        "Checking " + page.name + " on the server",
        [told, copy, name = page.name, downloaded = page.stamp](FtpClient& client) {
            RemoteStamp now;
            FtpResult stat = client.stat(name, now);
            if (stat.number == ftp_error::cancelled)
                return stat;
            if (stat.ok && stampsTell(downloaded, now)) {
                told->byStamp = true;
                told->changed = !sameStamp(downloaded, now);
                return stat;
            }
            // No time to go by: the server's bytes tell.
            return client.download(name, copy);
        },
        lifetime_.guard([this, told, copy, original, then = std::move(then)](FtpResult result) {
            if (!told->byStamp) {
                if (result.ok) {
                    ReadResult theirs = platform_.files.readFile(copy);
                    if (theirs.ok)
                        told->changed = theirs.bytes != *original;
                    else
                        result = {false, ftp_error::localFile, theirs.error};
                }
                std::error_code ignored;
                std::filesystem::remove(copy, ignored);
            }
            then(result, told->changed);
        }));
}

struct RoundTrip::Uploads {
    struct Changed {
        std::size_t index;
        std::string bytes;
        std::shared_ptr<const std::string> original;
    };
    std::vector<Changed> changed;
    std::vector<std::string> failures;
    std::vector<std::string> notes;
    std::uint64_t startSession = 0;
    bool wasConnected = false;
    std::string startDir;
    std::size_t next = 0;           // the next of `changed` to go up
    std::uint64_t pageSession = 0;  // the session as the page now going up found it
    std::size_t uploaded = 0, skipped = 0, left = 0;
    std::map<std::string, std::string> unreachable; // host -> why its connect failed
    std::function<void()> then;

    const Changed& page() const { return changed[next - 1]; }
};

void RoundTrip::uploadChanged(std::function<void()> then)
{
    loadProfiles();
    whenProfilesKnown([this, then = std::move(then)]() mutable { uploadNow(std::move(then)); });
}

void RoundTrip::uploadNow(std::function<void()> then)
{
    auto run = std::make_shared<Uploads>();
    run->then = std::move(then);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const DownloadedPage& page = pages_[i];
        ReadResult now = platform_.files.readFile(page.localPath);
        ReadResult was = platform_.files.readFile(originalPath(page.localPath));
        if (page.noProfile)
            run->failures.push_back(page.name + ": " + page.host +
                                    " has no host profile, so nothing was sent. Make one in Ftp Setup (File > Setup in the FTP window), then upload again.");
        else if (!now.ok)
            run->failures.push_back(page.name + ": it could not be read from the temp path: " + now.error + ".");
        else if (!was.ok)
            run->failures.push_back(page.name + ": the copy kept at its download is gone, so its changes cannot be told.");
        else if (now.bytes != was.bytes)
            run->changed.push_back({i, std::move(now.bytes), std::make_shared<const std::string>(std::move(was.bytes))});
    }
    if (run->changed.empty() && run->failures.empty()) {
        message("None of the downloaded pages has changed since its download: nothing was uploaded.");
        if (run->then)
            run->then();
        return;
    }
    run->startSession = session_;
    run->wasConnected = transfers_.connected();
    run->startDir = transfers_.currentDir();
    uploadNext(run);
}

void RoundTrip::uploadNext(const std::shared_ptr<Uploads>& run)
{
    if (run->next == run->changed.size())
        return uploadsDone(run);
    const DownloadedPage& page = pages_[run->changed[run->next++].index];
    run->pageSession = session_;
    if (auto known = run->unreachable.find(page.host); known != run->unreachable.end() && !sameSession(page))
        return pageDone(run, Outcome::Failed, known->second);
    if (sameSession(page))
        return openPageFolder(run);
    connect(page.host, page.profile, lifetime_.guard([this, run, host = page.host](const FtpResult& connected) {
        if (!connected.ok)
            return pageFailed(run, connected, "Could not connect to " + host + ": ");
        openPageFolder(run);
    }));
}

void RoundTrip::pageFailed(const std::shared_ptr<Uploads>& run, const FtpResult& result, const std::string& what)
{
    pageDone(run, result.number == ftp_error::cancelled ? Outcome::Cancelled : Outcome::Failed, what + result.error);
}

void RoundTrip::openPageFolder(const std::shared_ptr<Uploads>& run)
{
    const DownloadedPage& page = pages_[run->page().index];
    transfers_.run(
        "Opening the folder " + page.folder, [folder = page.folder](FtpClient& client) { return client.goTo(folder); },
        lifetime_.guard([this, run, folder = page.folder](const FtpResult& there) {
            if (!there.ok)
                return pageFailed(run, there, "Could not open its folder " + folder + ": ");
            const DownloadedPage& page = pages_[run->page().index];
            changedOnServer(page, run->page().original, lifetime_.guard([this, run](const FtpResult& checked, bool changed) {
                if (!checked.ok)
                    return pageFailed(run, checked, "Could not compare it with the server's copy: ");
                const DownloadedPage& page = pages_[run->page().index];
                if (changed && platform_.dialogs.choose(page.name + " changed on the server since you downloaded it. Overwrite it?",
                                                        kTitle, {"Overwrite", "Skip"}, 1, 1) != 0)
                    return pageDone(run, Outcome::Skipped, {});
                sendPage(run);
            }));
        }));
}

void RoundTrip::sendPage(const std::shared_ptr<Uploads>& run)
{
    const DownloadedPage& page = pages_[run->page().index];
    auto stamp = std::make_shared<RemoteStamp>();
    transfers_.run(
        "Uploading " + page.name,
        [stamp, local = page.localPath, name = page.name, keep = page.profile.keepBackup](FtpClient& client) {
            FtpResult sent = client.upload(local, name, keep);
            if (sent.ok && !client.stat(name, *stamp).ok)
                *stamp = {};
            return sent;
        },
        lifetime_.guard([this, run, stamp](const FtpResult& sent) {
            if (!sent.ok)
                return pageFailed(run, sent, "");
            DownloadedPage& page = pages_[run->page().index];
            if (!sent.error.empty()) // up, but something was left behind on the server
                run->notes.push_back(page.name + ": " + sent.error);
            // What went up is the new original: a second upload neither sends it again nor warns.
            // Not written, the page is only sent again, after the question about a change on the server.
            (void)platform_.files.writeFile(originalPath(page.localPath), run->page().bytes);
            page.stamp = *stamp;
            remember(page.records);
            pageDone(run, Outcome::Uploaded, {});
        }));
}

void RoundTrip::pageDone(const std::shared_ptr<Uploads>& run, Outcome outcome, const std::string& why)
{
    const DownloadedPage& page = pages_[run->page().index];
    if (outcome == Outcome::Failed && session_ == run->pageSession && !sameSession(page))
        run->unreachable[page.host] = why;
    switch (outcome) {
    case Outcome::Cancelled:
        run->left = run->changed.size() - (run->next - 1);
        return uploadsDone(run);
    case Outcome::Uploaded: ++run->uploaded; break;
    case Outcome::Skipped: ++run->skipped; break;
    case Outcome::Failed: run->failures.push_back(page.name + ": " + why); break;
    }
    uploadNext(run);
}

void RoundTrip::uploadsDone(const std::shared_ptr<Uploads>& run)
{
    auto tell = lifetime_.guard([this, run](const FtpResult&) {
        std::string text = "Uploaded: " + count(run->uploaded, "page", "pages") + "\nSkipped: " + std::to_string(run->skipped) +
                           "\nFailed: " + std::to_string(run->failures.size());
        if (run->left > 0)
            text += "\nCancelled: " + count(run->left, "page was", "pages were") + " not uploaded.";
        for (const std::string& failure : run->failures)
            text += "\n\n" + failure;
        for (const std::string& note : run->notes)
            text += "\n\n" + note;
        message(text);
        if (run->then)
            run->then();
    });
    // The FTP window's session goes on in its folder; one made here ends here. Either way the
    // outcome is told: a failure here shows in the FTP window's next listing.
    if (session_ == run->startSession && run->wasConnected && transfers_.connected()) {
        if (transfers_.currentDir() != run->startDir)
            return transfers_.run("Opening the folder " + run->startDir,
                                  [dir = run->startDir](FtpClient& client) { return client.goTo(dir); }, tell);
    } else if (session_ != run->startSession && transfers_.connected()) {
        return transfers_.run("Disconnecting", [](FtpClient& client) { return client.disconnect(); }, tell);
    }
    tell(FtpResult{true, 0, {}});
}

void RoundTrip::showChanges()
{
    std::string text;
    for (const DownloadedPage& page : pages_) {
        ReadResult now = platform_.files.readFile(page.localPath);
        ReadResult was = platform_.files.readFile(originalPath(page.localPath));
        if (!now.ok || !was.ok || now.bytes == was.bytes)
            continue;
        const std::vector<FoundImage> before = findImages(was.bytes).images, after = findImages(now.bytes).images;
        text += page.name + " (" + page.folder + " on " + page.host + ")\n";
        bool tags = false;
        for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
            const std::string a = tagLine(was.bytes, before, i), b = tagLine(now.bytes, after, i);
            if (a == b)
                continue;
            text += "  Before: " + a + "\n  After:  " + b + "\n";
            tags = true;
        }
        if (!tags)
            text += "  No image tag changed; other text did.\n";
        text += "\n";
    }
    if (text.empty())
        message("None of the downloaded pages has changed since its download.");
    else
        platform_.dialogs.showText(text, kTitle);
}

} // namespace bw
