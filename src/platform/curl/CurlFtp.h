#pragma once
// The FTP component on libcurl: one easy handle, and so one logged-in connection, for
// the whole session.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Ftp.h"

namespace bw {

struct FtpTimeouts {
    std::chrono::milliseconds connect{15000}; // to connect, log in and get the greeting
    std::chrono::milliseconds answer{15000};  // for each answer later on (whole seconds)
    std::chrono::milliseconds stalled{30000}; // a transfer slower than `slowest` (whole seconds)
    long slowest = 100;                       // bytes a second
};

class CurlFtpClient final : public FtpClient {
public:
    explicit CurlFtpClient(FtpTimeouts timeouts = {});
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient&) = delete;
    CurlFtpClient& operator=(const CurlFtpClient&) = delete;

    FtpResult connect(const std::string& host, const std::string& user, const std::string& password) override;
    FtpResult list(const Lines& received) override;
    FtpResult changeDir(const std::string& name) override;
    FtpResult parentDir() override;
    FtpResult download(const std::string& remoteName, const std::string& localPath) override;
    FtpResult stat(const std::string& remoteName, RemoteStamp& stamp) override;
    FtpResult upload(const std::string& localPath, const std::string& remoteName, bool keepBackup) override;
    std::string currentDir() const override;
    FtpResult goTo(const std::string& dir) override;
    void setOptions(const ConnectOptions& options) override;
    FtpResult disconnect() override;
    bool connected() const override;
    void setProgress(Progress progress) override;

    struct Handle; // the easy handle with its error buffer

private:
    FtpResult perform(const std::string& url);
    FtpResult enter(std::vector<std::string> folder, bool absolute);
    FtpResult fail(int number, std::string text);
    FtpResult command(const std::vector<std::string>& commands, const std::string& after = {});
    // SFTP: reads the first byte of a file of the current folder, which a folder has not.
    FtpResult peek(const std::string& name);
    FtpResult rename(const std::string& from, const std::string& to);
    // Leftovers only: one that stays does no harm, but the user is told where it is.
    bool remove(const std::string& name);
    enum class Seen { there, gone, unknown };
    Seen look(const std::string& name); // whether the current folder holds name
    bool isFolder(const std::string& name); // a folder of the current folder; the current folder stays
    // Uploads to remoteName; SFTP then renames it to renameTo where one is given.
    FtpResult send(const std::string& localPath, const std::string& remoteName, const std::string& renameTo = {});
    std::string folderUrl() const;
    std::string remotePath(const std::string& name) const;
    bool sftp() const { return options_.protocol == Protocol::sftp; }

    FtpTimeouts timeouts_;
    ConnectOptions options_;
    std::unique_ptr<Handle> handle_;
    Progress progress_;
    std::string base_;                 // "ftp://host:port", "sftp://host:port"
    std::vector<std::string> path_;    // folders below the root (or the login folder)
    std::vector<std::string> login_;   // the login folder, when the server told it
    bool absolute_ = false;            // path_ starts at "/" rather than the login folder
    bool connected_ = false;
};

} // namespace bw
