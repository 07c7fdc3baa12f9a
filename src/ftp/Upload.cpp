#include "ftp/Upload.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <map>
#include <utility>

#include "editor/EditorSession.h"
#include "platform/Listing.h"
#include "page/ImageFinder.h"

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

// Beside the pages in the temp path, one line each: host, user, protocol, port, key file,
// keep backup, server folder, name, size and time ("-" when unknown), split by tabs.
constexpr const char* kManifest = ".brindlework-downloads";

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

template <class Number> bool numberFrom(const std::string& text, Number& n)
{
    return !text.empty() && std::from_chars(text.data(), text.data() + text.size(), n).ptr == text.data() + text.size();
}

std::string count(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

Showing::Showing(Busy& busy, FtpClient& client, const std::string& what) : busy_(busy), client_(client)
{
    busy_.begin(what);
    client_.setProgress([this](std::uint64_t done, std::uint64_t total) { return busy_.progress(done, total); });
}

Showing::~Showing()
{
    client_.setProgress({});
    busy_.end();
}

std::string originalPath(const std::string& localPath)
{
    return folderOfPath(localPath) + "." + nameOfPath(localPath) + ".original";
}

void RoundTrip::message(const std::string& text) { platform_.dialogs.msgBox(text, Buttons::Ok, kTitle); }

FtpResult RoundTrip::connect(const std::string& host, const HostProfile& profile)
{
    ConnectOptions options = optionsFor(profile, platform_.settings.folder());
    for (;;) {
        client_.setOptions(options);
        FtpResult result;
        {
            Showing showing(busy_, client_, "Connecting to " + host);
            result = client_.connect(host, profile.user, profile.password);
        }
        if (result.ok) {
            ++session_;
            host_ = host;
            profile_ = profile;
            return result;
        }
        // A key accepted a moment ago that the server no longer shows is not asked about again.
        if (result.number != ftp_error::unknownKey || !options.acceptedKey.empty())
            return result;
        const int choice = platform_.dialogs.choose(
            host + " shows a key this program has not seen before:\n" + result.fingerprint +
                "\n\nAccept it only if it is the key your host gave you. Accept Always keeps it for the next time.",
            kTitle, {"Accept Once", "Accept Always", "Cancel"}, 2, 2);
        if (choice != 0 && choice != 1)
            return {false, ftp_error::cancelled, ""};
        options.acceptedKey = result.fingerprint;
        options.acceptAlways = choice == 1;
    }
}

FtpResult RoundTrip::fetchPage(const std::string& name, const std::string& localPath)
{
    const std::string original = originalPath(localPath);
    ReadResult before = platform_.files.readFile(original);
    RemoteStamp stamp;
    {
        Showing showing(busy_, client_, "Downloading " + name);
        // Taken before the bytes: a change in between makes the upload ask rather than overwrite.
        FtpResult told = client_.stat(name, stamp);
        if (told.number == ftp_error::cancelled)
            return told;
        if (!told.ok)
            stamp = {};
        // Into the original first: the transport replaces it only with a whole copy.
        FtpResult fetched = client_.download(name, original);
        if (!fetched.ok)
            return fetched;
    }
    ReadResult got = platform_.files.readFile(original);
    WriteResult page = got.ok ? platform_.files.writeFile(localPath, got.bytes) : WriteResult{false, got.error, {}};
    if (!page.ok) {
        // The page stays as it was, so its original must too.
        std::error_code ignored;
        if (before.ok) // failing too, it fails as the page did, which the message below tells
            (void)platform_.files.writeFile(original, before.bytes);
        else
            std::filesystem::remove(original, ignored);
        return {false, ftp_error::localFile, name + " could not be written to the temp path: " + page.error + "."};
    }
    DownloadedPage record{host_, profile_, client_.currentDir(), name, stamp, localPath};
    auto same = std::find_if(pages_.begin(), pages_.end(), [&](const DownloadedPage& p) { return p.localPath == localPath; });
    if (same != pages_.end())
        *same = std::move(record);
    else
        pages_.push_back(std::move(record));
    remember(folderOfPath(localPath));
    return {true, 0, {}};
}

void RoundTrip::remember(const std::string& folder)
{
    recall(folder); // those of an earlier run stay written down too
    std::string text;
    for (const DownloadedPage& p : pages_) {
        const HostProfile& o = p.profile;
        const std::string line = p.host + '\t' + o.user + '\t' + protocolName(o.protocol) + '\t' + std::to_string(o.port) + '\t' +
                                 o.keyFile + '\t' + (o.keepBackup ? "1" : "0") + '\t' + p.folder + '\t' + p.name + '\t' +
                                 (p.stamp.hasSize ? std::to_string(p.stamp.size) : "-") + '\t' +
                                 (p.stamp.hasTime ? std::to_string(p.stamp.time) : "-");
        // A server folder may hold a tab or a line end; such a page goes up in this run only.
        const bool plain = std::count(line.begin(), line.end(), '\t') == 9 && line.find_first_of("\r\n") == std::string::npos;
        if (folderOfPath(p.localPath) == folder && plain)
            text += line + '\n';
    }
    // Not written, the pages still go up in this run; only a restart forgets them.
    (void)platform_.files.writeFile(folder + kManifest, text);
}

void RoundTrip::recall(const std::string& folder)
{
    if (!recalled_.insert(folder).second)
        return;
    ReadResult kept = platform_.files.readFile(folder + kManifest);
    if (!kept.ok)
        return;
    std::map<std::string, std::vector<std::string>> asking; // host -> the local paths waiting for its password
    std::string_view rest = kept.bytes;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::vector<std::string> f = fields(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        DownloadedPage page{f[0], {}, {}, {}, {}, {}};
        if (f.size() != 10 || !isSafeName(f[7]) || !numberFrom(f[3], page.profile.port))
            continue;
        page.profile.user = f[1];
        page.profile.protocol = protocolNamed(f[2]);
        page.profile.keyFile = f[4];
        page.profile.keepBackup = f[5] == "1";
        page.folder = f[6];
        page.name = f[7];
        page.stamp.hasSize = numberFrom(f[8], page.stamp.size);
        page.stamp.hasTime = numberFrom(f[9], page.stamp.time);
        page.localPath = folder + page.name;
        const bool known = std::any_of(pages_.begin(), pages_.end(), [&](const DownloadedPage& p) { return p.localPath == page.localPath; });
        if (known || !platform_.files.isFile(page.localPath) || !platform_.files.isFile(originalPath(page.localPath)))
            continue;
        // Passwords are never written down: the host's profile has it, for the same user.
        page.passwordPending = true;
        asking[page.host].push_back(page.localPath);
        pages_.push_back(std::move(page));
    }
    HostProfiles profiles(platform_);
    for (auto& [host, paths] : asking) { // each host's profile read once
        ++passwordsPending_;
        profiles.load(host, lifetime_.guard([this, paths = std::move(paths)](const HostProfile& profile, const std::string&) {
            for (DownloadedPage& page : pages_)
                if (page.passwordPending && std::find(paths.begin(), paths.end(), page.localPath) != paths.end()) {
                    page.passwordPending = false;
                    if (profile.user == page.profile.user)
                        page.profile.password = profile.password;
                }
            if (--passwordsPending_ == 0)
                for (auto& work : std::exchange(waiting_, {}))
                    work();
        }));
    }
}

void RoundTrip::whenPasswordsKnown(std::function<void()> work)
{
    if (passwordsPending_ > 0)
        waiting_.push_back(std::move(work));
    else
        work();
}

bool RoundTrip::sameSession(const DownloadedPage& page) const
{
    const HostProfile& a = profile_;
    const HostProfile& b = page.profile;
    return client_.connected() && session_ > 0 && host_ == page.host && a.user == b.user && a.password == b.password &&
           a.protocol == b.protocol && a.port == b.port && a.keyFile == b.keyFile;
}

FtpResult RoundTrip::changedOnServer(const DownloadedPage& page, const std::string& original, bool& changed)
{
    Showing showing(busy_, client_, "Checking " + page.name + " on the server");
    RemoteStamp now;
    FtpResult told = client_.stat(page.name, now);
    if (told.number == ftp_error::cancelled)
        return told;
    if (told.ok && stampsTell(page.stamp, now)) {
        changed = !sameStamp(page.stamp, now);
        return told;
    }
    // No time to go by: the server's bytes tell.
    const std::string copy = folderOfPath(page.localPath) + "." + page.name + ".server";
    FtpResult fetched = client_.download(page.name, copy);
    if (fetched.ok) {
        ReadResult theirs = platform_.files.readFile(copy);
        if (theirs.ok)
            changed = theirs.bytes != original;
        else
            fetched = {false, ftp_error::localFile, theirs.error};
    }
    std::error_code ignored;
    std::filesystem::remove(copy, ignored);
    return fetched;
}

RoundTrip::Outcome RoundTrip::uploadOne(DownloadedPage& page, const std::string& bytes, const std::string& original,
                                        std::string& why)
{
    auto failed = [&why](const FtpResult& result, const std::string& what) {
        why = what + result.error;
        return result.number == ftp_error::cancelled ? Outcome::Cancelled : Outcome::Failed;
    };
    if (!sameSession(page)) {
        FtpResult connected = connect(page.host, page.profile);
        if (!connected.ok)
            return failed(connected, "Could not connect to " + page.host + ": ");
    }
    {
        Showing showing(busy_, client_, "Opening the folder " + page.folder);
        FtpResult there = client_.goTo(page.folder);
        if (!there.ok)
            return failed(there, "Could not open its folder " + page.folder + ": ");
    }
    bool changed = false;
    FtpResult checked = changedOnServer(page, original, changed);
    if (!checked.ok)
        return failed(checked, "Could not compare it with the server's copy: ");
    if (changed && platform_.dialogs.choose(page.name + " changed on the server since you downloaded it. Overwrite it?",
                                            kTitle, {"Overwrite", "Skip"}, 1, 1) != 0)
        return Outcome::Skipped;
    {
        Showing showing(busy_, client_, "Uploading " + page.name);
        FtpResult sent = client_.upload(page.localPath, page.name, page.profile.keepBackup);
        if (!sent.ok)
            return failed(sent, "");
        // What went up is the new original: a second upload neither sends it again nor warns.
        // Not written, the page is only sent again, after the question about a change on the server.
        (void)platform_.files.writeFile(originalPath(page.localPath), bytes);
        RemoteStamp now;
        page.stamp = client_.stat(page.name, now).ok ? now : RemoteStamp{};
    }
    remember(folderOfPath(page.localPath));
    return Outcome::Uploaded;
}

void RoundTrip::uploadChanged(std::function<void()> then)
{
    whenPasswordsKnown([this, then = std::move(then)] {
        uploadNow();
        if (then)
            then();
    });
}

void RoundTrip::uploadNow()
{
    struct Changed {
        std::size_t index;
        std::string bytes, original;
    };
    std::vector<Changed> changed;
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const DownloadedPage& page = pages_[i];
        ReadResult now = platform_.files.readFile(page.localPath);
        ReadResult was = platform_.files.readFile(originalPath(page.localPath));
        if (!now.ok)
            failures.push_back(page.name + ": it could not be read from the temp path: " + now.error + ".");
        else if (!was.ok)
            failures.push_back(page.name + ": the copy kept at its download is gone, so its changes cannot be told.");
        else if (now.bytes != was.bytes)
            changed.push_back({i, std::move(now.bytes), std::move(was.bytes)});
    }
    if (changed.empty() && failures.empty()) {
        message("None of the downloaded pages has changed since its download: nothing was uploaded.");
        return;
    }

    const std::uint64_t startSession = session_;
    const bool wasConnected = client_.connected();
    const std::string startDir = client_.currentDir();
    std::size_t uploaded = 0, skipped = 0, left = 0;
    std::map<std::string, std::string> unreachable; // host -> why its connect failed
    for (std::size_t k = 0; k < changed.size(); ++k) {
        DownloadedPage& page = pages_[changed[k].index];
        std::string why;
        Outcome outcome;
        if (auto known = unreachable.find(page.host); known != unreachable.end() && !sameSession(page)) {
            why = known->second;
            outcome = Outcome::Failed;
        } else {
            const std::uint64_t before = session_;
            outcome = uploadOne(page, changed[k].bytes, changed[k].original, why);
            if (outcome == Outcome::Failed && session_ == before && !sameSession(page))
                unreachable[page.host] = why;
        }
        if (outcome == Outcome::Cancelled) {
            left = changed.size() - k;
            break;
        }
        if (outcome == Outcome::Uploaded)
            ++uploaded;
        else if (outcome == Outcome::Skipped)
            ++skipped;
        else
            failures.push_back(page.name + ": " + why);
    }
    // The FTP window's session goes on in its folder; one made here ends here.
    if (session_ == startSession && wasConnected && client_.connected()) {
        if (client_.currentDir() != startDir) {
            Showing showing(busy_, client_, "Opening the folder " + startDir);
            (void)client_.goTo(startDir); // else the FTP window's next listing shows where it is
        }
    } else if (session_ != startSession && client_.connected()) {
        Showing showing(busy_, client_, "Disconnecting");
        (void)client_.disconnect(); // the session ends here either way
    }

    std::string text = "Uploaded: " + count(uploaded, "page", "pages") + "\nSkipped: " + std::to_string(skipped) +
                       "\nFailed: " + std::to_string(failures.size());
    if (left > 0)
        text += "\nCancelled: " + count(left, "page was", "pages were") + " not uploaded.";
    for (const std::string& failure : failures)
        text += "\n\n" + failure;
    message(text);
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
