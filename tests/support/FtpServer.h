#pragma once
// A real FTP server for the tests: pyftpdlib (tests/support/ftp_server.py) serving a folder
// to one user on 127.0.0.1 and a free port, gone with the object. The log gets the user's
// name at each login; given a listing file, the server misbehaves as that script tells.
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bw::test {

class LocalFtpServer {
public:
    LocalFtpServer(const std::string& root, const std::string& user, const std::string& password,
                   const std::string& log, const std::string& listing = "", const std::string& perm = "elr",
                   const std::string& tricks = "")
    {
        int out[2] = {-1, -1};
        if (::pipe2(out, O_CLOEXEC) == 0 && (pid_ = ::fork()) == 0) {
            ::dup2(out[1], 1);
            ::setenv("BW_FTP_TRICKS", tricks.c_str(), 1); // what ftp_server.py does wrong on purpose
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // none outlives a crashed test
            ::execl(BW_PYTHON, BW_PYTHON, BW_FTP_SERVER_SCRIPT, root.c_str(), user.c_str(), password.c_str(), log.c_str(),
                    listing.c_str(), perm.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        char line[32] = {}; // "port N"
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) > 0 && ::read(out[0], line, sizeof line - 1) > 5)
            port_ = std::atoi(line + 5);
        ::close(out[0]);
        if (port_ == 0) {
            failure = std::string(BW_PYTHON) + " " + BW_FTP_SERVER_SCRIPT + " did not start";
            stop();
        }
    }
    ~LocalFtpServer() { stop(); }
    LocalFtpServer(const LocalFtpServer&) = delete;
    LocalFtpServer& operator=(const LocalFtpServer&) = delete;

    bool running() const { return pid_ > 0; }
    // Stopped, the server's port stays its own: a port nobody listens on.
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    void pause() { ::kill(pid_, SIGSTOP); }
    void resume() { ::kill(pid_, SIGCONT); }
    void stop()
    {
        if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0)
            ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::string failure;

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace bw::test
