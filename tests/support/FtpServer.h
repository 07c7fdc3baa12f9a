#pragma once
// Real FTP servers for the tests, on 127.0.0.1 and a free port, gone with the object.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <fstream>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bw::test {

// pyftpdlib serving a folder to one user (tests/support/ftp_server.py).
class LocalFtpServer {
public:
    LocalFtpServer(const std::string& root, const std::string& user, const std::string& password,
                   const std::string& loginLog)
    {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            failure = "no pipes";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::execl(BW_PYTHON, BW_PYTHON, BW_FTP_SERVER_SCRIPT, root.c_str(), user.c_str(), password.c_str(),
                    loginLog.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
            char buf[64];
            ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0)
                break;
            line.append(buf, static_cast<size_t>(n));
        }
        ::close(out[0]);
        if (line.rfind("port ", 0) == 0)
            port_ = std::stoi(line.substr(5));
        else {
            failure = "python3-pyftpdlib did not start (" + std::string(BW_PYTHON) + " " + BW_FTP_SERVER_SCRIPT + ")";
            stop();
        }
    }
    ~LocalFtpServer() { stop(); }

    bool running() const { return port_ > 0; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    void pause() { ::kill(pid_, SIGSTOP); }
    void resume() { ::kill(pid_, SIGCONT); }

    // Closing its stdin ends the server; a stuck one is killed.
    void stop()
    {
        if (stdin_ >= 0)
            ::close(stdin_);
        stdin_ = -1;
        port_ = 0;
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGCONT);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            ::usleep(20000);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    std::string failure;

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
};

// vsftpd serving a folder to its anonymous user ("ftp", any password): its other users
// would need accounts on this machine. Names in its listings stand at column 57.
class VsftpdServer {
public:
    // work: an empty folder of the test's own for the configuration.
    VsftpdServer(const std::string& vsftpd, const std::string& root, const std::string& work)
    {
        if (vsftpd.empty() || ::access(vsftpd.c_str(), X_OK) != 0) {
            failure = "vsftpd is not installed";
            return;
        }
        int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (probe < 0 || ::bind(probe, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            failure = "no free port";
            if (probe >= 0)
                ::close(probe);
            return;
        }
        const int port = ntohs(a.sin_port);
        ::close(probe);
        const std::string empty = work + "/empty", conf = work + "/vsftpd.conf";
        ::mkdir(empty.c_str(), 0755);
        std::ofstream(conf) << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << port
                            << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nwrite_enable=NO\n"
                               "anon_root="
                            << root << "\nsecure_chroot_dir=" << empty
                            << "\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\nhide_ids=NO\n"
                               "xferlog_enable=NO\nsyslog_enable=NO\nvsftpd_log_file=/dev/null\n";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0); // its sessions go with it
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(vsftpd.c_str(), vsftpd.c_str(), conf.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::setpgid(pid_, pid_);
        // Ready once it greets.
        for (int i = 0; i < 250 && port_ == 0; ++i) {
            int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            a.sin_port = htons(static_cast<uint16_t>(port));
            char greeting[4] = {};
            pollfd p{fd, POLLIN, 0};
            if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::poll(&p, 1, 1000) > 0 &&
                ::read(fd, greeting, 3) == 3 && std::string(greeting) == "220")
                port_ = port;
            ::close(fd);
            if (port_ == 0)
                ::usleep(20000);
        }
        if (port_ == 0) {
            failure = "vsftpd did not start (" + vsftpd + " " + conf + ")";
            stop();
        }
    }
    ~VsftpdServer() { stop(); }
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    bool running() const { return port_ > 0; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    void stop()
    {
        port_ = 0;
        if (pid_ <= 0)
            return;
        ::kill(-pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        ::kill(-pid_, SIGKILL);
        pid_ = -1;
    }

    std::string failure;

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A port that takes connections and never says a word.
class SilentListener {
public:
    SilentListener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(fd_, 8) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~SilentListener() { close(); }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A server that misbehaves on purpose: its listing, the bytes of every file and how slowly
// they come are the test's to choose. One session at a time; records every command line.
class HostileFtpServer {
public:
    struct Script {
        std::string listing;                  // the bytes LIST sends
        std::string file;                     // the bytes every RETR sends
        bool refuseList = false;              // LIST is answered 550
        std::chrono::milliseconds trickle{0}; // the pause after each byte of a RETR
    };

    explicit HostileFtpServer(Script script) : script_(std::move(script))
    {
        listen_ = listenOn(port_);
        if (listen_ >= 0)
            thread_ = std::thread([this] { serve(); });
    }
    ~HostileFtpServer()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (listen_ >= 0)
            ::close(listen_);
    }
    HostileFtpServer(const HostileFtpServer&) = delete;
    HostileFtpServer& operator=(const HostileFtpServer&) = delete;

    bool running() const { return listen_ >= 0; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    int sessions() const { return sessions_; }
    std::vector<std::string> commands() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return commands_;
    }

private:
    static int listenOn(int& port)
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 4) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            if (fd >= 0)
                ::close(fd);
            return -1;
        }
        port = ntohs(a.sin_port);
        return fd;
    }
    // Waits for a connection, giving up when the server stops or after 5 s.
    int acceptOn(int fd)
    {
        for (int i = 0; i < 500 && !stop_; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0)
                return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        }
        return -1;
    }
    static bool say(int fd, const std::string& text)
    {
        return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    }
    void serve()
    {
        while (!stop_) {
            int fd = acceptOn(listen_);
            if (fd < 0)
                continue;
            ++sessions_;
            session(fd);
            ::close(fd);
        }
    }
    void session(int fd)
    {
        std::string in;
        int data = -1;
        say(fd, "220 hostile\r\n");
        while (!stop_) {
            std::size_t end = in.find("\r\n");
            if (end == std::string::npos) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 10) <= 0)
                    continue;
                char buf[4096];
                ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0)
                    break;
                in.append(buf, static_cast<size_t>(n));
                continue;
            }
            const std::string line = in.substr(0, end);
            in.erase(0, end + 2);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                commands_.push_back(line);
            }
            const std::string verb = line.substr(0, line.find(' '));
            if (verb == "USER") say(fd, "331 password\r\n");
            else if (verb == "PASS") say(fd, "230 in\r\n");
            else if (verb == "PWD") say(fd, "257 \"/\"\r\n");
            else if (verb == "CWD" || verb == "DELE") say(fd, "250 ok\r\n");
            else if (verb == "TYPE") say(fd, "200 ok\r\n");
            else if (verb == "SIZE") say(fd, "213 " + std::to_string(script_.file.size()) + "\r\n");
            else if (verb == "EPSV") {
                int port = 0;
                if (data >= 0)
                    ::close(data);
                data = listenOn(port);
                say(fd, "229 passive (|||" + std::to_string(port) + "|)\r\n");
            } else if (verb == "LIST" || verb == "RETR") {
                const bool list = verb == "LIST";
                if (list && script_.refuseList) {
                    say(fd, "550 not for you\r\n");
                    continue;
                }
                say(fd, "150 here\r\n");
                int conn = data >= 0 ? acceptOn(data) : -1;
                const std::string& bytes = list ? script_.listing : script_.file;
                bool sent = conn >= 0;
                if (sent && (list || script_.trickle.count() == 0))
                    sent = say(conn, bytes);
                for (std::size_t i = 0; sent && !list && script_.trickle.count() > 0 && i < bytes.size() && !stop_; ++i) {
                    sent = say(conn, bytes.substr(i, 1));
                    std::this_thread::sleep_for(script_.trickle);
                }
                if (conn >= 0)
                    ::close(conn);
                say(fd, sent ? "226 done\r\n" : "426 aborted\r\n");
            } else if (verb == "QUIT") {
                say(fd, "221 bye\r\n");
                break;
            } else
                say(fd, "502 no\r\n");
        }
        if (data >= 0)
            ::close(data);
    }

    Script script_;
    int listen_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> sessions_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::thread thread_;
};

} // namespace bw::test
