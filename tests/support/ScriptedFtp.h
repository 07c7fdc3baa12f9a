#pragma once
// An FTP server as a script: folders with their listings, files with their bytes, and
// the failures to give. Records every action; a folder it was not told about is a fault
// of the test.
#include <deque>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Ftp.h"

namespace bw::test {

class ScriptedFtp : public FtpClient {
public:
    // Folder ("/", "/a/", "/a/b c/") -> its listing, in the pieces the server sends.
    std::map<std::string, std::vector<std::string>> listings;
    // Folder + file name -> the file's bytes.
    std::map<std::string, std::string> remote;
    // Action ("connect", "list", "changeDir", "parentDir", "download", "disconnect") ->
    // results to give instead of doing it, one per call, in order.
    std::map<std::string, std::deque<FtpResult>> failures;
    // What a download reports to the progress callback, in order; a false answer cancels.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> steps;
    std::vector<std::string> calls; // "connect host user password", "changeDir x", ...
    std::string cwd = "/";
    int progressCalls = 0;

    FtpResult connect(const std::string& host, const std::string& user, const std::string& password) override
    {
        calls.push_back("connect " + host + " " + user + " " + password);
        connected_ = false;
        if (auto f = scripted("connect"))
            return *f;
        connected_ = true;
        cwd = "/";
        return {true, 0, {}};
    }
    FtpResult list(const Lines& received) override
    {
        calls.push_back("list " + cwd);
        if (auto f = scripted("list"))
            return *f;
        if (!connected_)
            return notConnected();
        auto it = listings.find(cwd);
        if (it == listings.end())
            throw std::logic_error("no listing scripted for " + cwd);
        for (const auto& piece : it->second)
            received(piece);
        return {true, 0, {}};
    }
    FtpResult changeDir(const std::string& name) override
    {
        calls.push_back("changeDir " + name);
        if (auto f = scripted("changeDir"))
            return *f;
        if (!connected_)
            return notConnected();
        if (!listings.count(cwd + name + "/"))
            return {false, 550, "The server refused access to that folder or file."};
        cwd += name + "/";
        return {true, 0, {}};
    }
    FtpResult parentDir() override
    {
        calls.push_back("parentDir");
        if (auto f = scripted("parentDir"))
            return *f;
        if (!connected_)
            return notConnected();
        if (cwd.size() > 1)
            cwd.erase(cwd.find_last_of('/', cwd.size() - 2) + 1);
        return {true, 0, {}};
    }
    FtpResult download(const std::string& remoteName, const std::string& localPath) override
    {
        calls.push_back("download " + remoteName + " " + localPath);
        if (auto f = scripted("download"))
            return *f;
        if (!connected_)
            return notConnected();
        for (auto [done, total] : steps) {
            ++progressCalls;
            if (progress_ && !progress_(done, total))
                return {false, ftp_error::cancelled, "The action was cancelled."};
        }
        auto it = remote.find(cwd + remoteName);
        if (it == remote.end())
            return {false, 78, "The file is not on the server."};
        std::ofstream out(localPath, std::ios::binary);
        out << it->second;
        if (!out.flush())
            return {false, ftp_error::localFile, "Cannot write in the folder of \"" + localPath + "\"."};
        return {true, 0, {}};
    }
    FtpResult disconnect() override
    {
        calls.push_back("disconnect");
        connected_ = false;
        if (auto f = scripted("disconnect"))
            return *f;
        return {true, 0, {}};
    }
    bool connected() const override { return connected_; }
    void setProgress(Progress progress) override { progress_ = std::move(progress); }

    bool hasProgress() const { return static_cast<bool>(progress_); }

private:
    std::optional<FtpResult> scripted(const std::string& action)
    {
        auto it = failures.find(action);
        if (it == failures.end() || it->second.empty())
            return std::nullopt;
        FtpResult r = it->second.front();
        it->second.pop_front();
        return r;
    }
    static FtpResult notConnected() { return {false, ftp_error::notConnected, "Not connected to a server."}; }

    bool connected_ = false;
    Progress progress_;
};

} // namespace bw::test
