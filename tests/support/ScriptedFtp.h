#pragma once
// An FTP server as a script: folders with their listings, files with their bytes, and
// the failures to give. Records every action; a folder it was not told about is a fault
// of the test.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/Ftp.h"

namespace bw::test {

class ScriptedFtp : public FtpClient {
public:
    // Folder ("/", "/a/", "/a/b c/") -> its listing, in the pieces the server sends.
    std::map<std::string, std::vector<std::string>> listings;
    // Folder + file name -> the file's bytes.
    std::map<std::string, std::string> remote;
    // Action ("connect", "list", "changeDir", "stat", "upload", ...) -> what its next
    // call gives instead of doing it.
    std::map<std::string, FtpResult> failures;
    std::vector<std::string> calls; // "connect host user password", "changeDir x", ...
    std::string cwd = "/";
    std::map<std::string, std::int64_t> times; // folder + file name -> its time, for stat
    ConnectOptions options;                     // as last set

    FtpResult connect(const std::string& host, const std::string& user, const std::string& password) override
    {
        cwd = "/";
        connected_ = !fails("connect " + host + " " + user + " " + password);
        return result_;
    }
    FtpResult list(const Lines& received) override
    {
        if (!fails("list " + cwd))
            for (const auto& piece : listings.at(cwd))
                received(piece);
        return result_;
    }
    FtpResult changeDir(const std::string& name) override
    {
        if (fails("changeDir " + name))
            return result_;
        if (!listings.count(cwd + name + "/"))
            return {false, 550, "The server refused access to that folder or file."};
        cwd += name + "/";
        return result_;
    }
    FtpResult parentDir() override
    {
        if (!fails("parentDir") && cwd.size() > 1)
            cwd.erase(cwd.find_last_of('/', cwd.size() - 2) + 1);
        return result_;
    }
    // Asks the progress callback once, before the bytes come.
    FtpResult download(const std::string& remoteName, const std::string& localPath) override
    {
        if (fails("download " + remoteName + " " + localPath))
            return result_;
        if (progress_ && !progress_(0, 1))
            return {false, ftp_error::cancelled, "The action was cancelled."};
        if (!remote.count(cwd + remoteName))
            return {false, 78, "The file is not on the server."};
        std::ofstream(localPath, std::ios::binary) << remote[cwd + remoteName];
        return result_;
    }
    // A file's stamp: its size, and the time in `times` when there is one.
    FtpResult stat(const std::string& remoteName, RemoteStamp& stamp) override
    {
        if (fails("stat " + remoteName))
            return result_;
        const auto file = remote.find(cwd + remoteName);
        if (file == remote.end())
            return {false, 78, "The file is not on the server."};
        stamp = {true, file->second.size(), times.count(file->first) > 0, times.count(file->first) ? times[file->first] : 0};
        return result_;
    }
    // Asks the progress callback once, as download does; a file with a time gets a later one.
    FtpResult upload(const std::string& localPath, const std::string& remoteName, bool keepBackup) override
    {
        if (fails("upload " + localPath + " " + remoteName + (keepBackup ? " keep" : "")))
            return result_;
        if (progress_ && !progress_(0, 1))
            return {false, ftp_error::cancelled, "The action was cancelled."};
        std::ifstream in(localPath, std::ios::binary);
        remote[cwd + remoteName].assign(std::istreambuf_iterator<char>(in), {});
        if (times.count(cwd + remoteName))
            ++times[cwd + remoteName];
        return result_;
    }
    std::string currentDir() const override { return cwd; }
    FtpResult goTo(const std::string& dir) override
    {
        if (!fails("goTo " + dir))
            cwd = dir;
        return result_;
    }
    void setOptions(const ConnectOptions& given) override { options = given; }
    FtpResult disconnect() override
    {
        connected_ = false;
        fails("disconnect");
        return result_;
    }
    bool connected() const override { return connected_; }
    void setProgress(Progress progress) override { progress_ = std::move(progress); }

private:
    // Records the call; true when the script has it fail. result_ holds what it gives.
    bool fails(std::string call)
    {
        const auto scripted = failures.find(call.substr(0, call.find(' ')));
        result_ = scripted == failures.end() ? FtpResult{true, 0, {}} : scripted->second;
        if (scripted != failures.end())
            failures.erase(scripted);
        calls.push_back(std::move(call));
        return !result_.ok;
    }

    FtpResult result_;
    bool connected_ = false;
    Progress progress_;
};

} // namespace bw::test
