#pragma once
// The secure servers for the tests on 127.0.0.1 and a free port, with keys made for the
// occasion: vsftpd with TLS (anonymous, writable "pub") and OpenSSH's sshd with SFTP (root
// logs in with a key of its own). A restart keeps the port; newKey() makes the next
// start show another certificate or host key.
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/Doubles.h"

namespace bw::test {

// A shell command's output, its last line end dropped.
inline std::string shell(const std::string& command)
{
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        ::pclose(p);
    }
    return out.empty() || out.back() != '\n' ? out : out.substr(0, out.size() - 1);
}

inline sockaddr_in loopback(int port) { return {AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}}; }

inline int freePort()
{
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), port = 0;
    sockaddr_in a = loopback(0);
    socklen_t n = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), n) == 0 && ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

inline bool listening(int port)
{
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

// A server process; stop() kills it with every process it started (the sessions).
class Daemon {
public:
    ~Daemon() { stop(); }
    bool start(std::vector<std::string> argv, const std::function<bool()>& ready)
    {
        if ((pid_ = ::fork()) == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0), ::dup2(null, 1), ::dup2(null, 2);
            std::vector<char*> args;
            for (auto& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        for (int i = 0; i < 500 && !ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return ready();
    }
    void stop()
    {
        std::vector<pid_t> all;
        if (pid_ > 0)
            all.push_back(pid_);
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::ifstream kids("/proc/" + std::to_string(all[i]) + "/task/" + std::to_string(all[i]) + "/children");
            for (pid_t kid; kids >> kid;)
                all.push_back(kid);
        }
        for (pid_t p : all)
            ::kill(p, SIGKILL);
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// A self-signed certificate with its key, in one PEM file.
inline void makeCertificate(const std::string& pem)
{
    shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=localhost -keyout " +
          pem + " -out " + pem + ".crt 2>&1 && cat " + pem + ".crt >> " + pem);
}

// As the client shows it: "SHA256:" and the base64 of the certificate's digest, unpadded.
inline std::string certificateFingerprint(const std::string& pem)
{
    return "SHA256:" + shell("openssl x509 -outform DER -in " + pem + " | openssl dgst -sha256 -binary | base64 | tr -d '='");
}

// What the servers have in common: a folder of their own, a port kept across restarts, and
// for the FTP ones a self-signed certificate.
struct SecureServer {
    virtual ~SecureServer() = default;
    virtual bool start() = 0;
    virtual void newKey() { makeCertificate(dir.path("cert.pem")); }
    // As the OpenSSL and OpenSSH tools tell it.
    virtual std::string fingerprint() { return certificateFingerprint(dir.path("cert.pem")); }
    std::string host() const { return "127.0.0.1:" + std::to_string(port); }
    TempDir dir;
    int port = freePort();
    Daemon daemon;
    std::string site; // the folder the test uploads into
};

struct Vsftpd : SecureServer {
    Vsftpd()
    {
        site = dir.path("root/pub");
        std::filesystem::create_directories(site);
        std::filesystem::create_directories(dir.path("empty"));
        const passwd* ftp = ::getpwnam("ftp"); // vsftpd's anonymous user writes here
        [[maybe_unused]] const int owned = ftp ? ::chown(site.c_str(), ftp->pw_uid, ftp->pw_gid) : -1;
        newKey();
        dir.write("vsftpd.conf", "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" + std::to_string(port) +
                                     "\nbackground=NO\nseccomp_sandbox=NO\nlocal_enable=NO\nanonymous_enable=YES\n"
                                     "no_anon_password=YES\nanon_root=" + dir.path("root") + "\nsecure_chroot_dir=" +
                                     dir.path("empty") + "\nwrite_enable=YES\nanon_upload_enable=YES\n"
                                     "anon_other_write_enable=YES\nanon_umask=022\nssl_enable=YES\nallow_anon_ssl=YES\n"
                                     "force_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\nssl_ciphers=HIGH\n"
                                     "rsa_cert_file=" + dir.path("cert.pem") + "\nrsa_private_key_file=" + dir.path("cert.pem") + "\n");
    }
    bool start() override { return daemon.start({"/usr/sbin/vsftpd", dir.path("vsftpd.conf")}, [this] { return listening(port); }); }
};

// pyftpdlib speaking only TLS, to a user who may write.
struct PyftpdTls : SecureServer {
    PyftpdTls(std::string user, std::string password) : user_(std::move(user)), password_(std::move(password))
    {
        site = dir.path("root");
        std::filesystem::create_directories(site);
        newKey();
    }
    bool start() override
    {
        return daemon.start({BW_PYTHON, BW_FTP_SERVER_SCRIPT, site, user_, password_, dir.path("log"), "", "elradfmw",
                             dir.path("cert.pem"), std::to_string(port)},
                            [this] { return listening(port); });
    }

private:
    std::string user_, password_;
};

struct Sshd : SecureServer {
    explicit Sshd(std::string keyType = "ed25519") : keyType_(std::move(keyType))
    {
        site = dir.path("site");
        std::filesystem::create_directories(site);
        std::filesystem::create_directories("/run/sshd"); // sshd's own, as the package makes it
        newKey();
        shell("ssh-keygen -q -t ed25519 -N '' -f " + dir.path("user") + " && cp " + dir.path("user.pub") + " " + dir.path("authorized"));
        dir.write("sshd_config", "ListenAddress 127.0.0.1\nPort " + std::to_string(port) + "\nHostKey " + dir.path("host") +
                                     "\nAuthorizedKeysFile " + dir.path("authorized") +
                                     "\nStrictModes no\nUsePAM no\nPidFile none\nSubsystem sftp internal-sftp\n"
                                     "PermitRootLogin prohibit-password\n");
    }
    bool start() override
    {
        return daemon.start({"/usr/sbin/sshd", "-D", "-e", "-f", dir.path("sshd_config")}, [this] { return listening(port); });
    }
    void newKey() override { shell("rm -f " + dir.path("host") + "* && ssh-keygen -q -t " + keyType_ + " -N '' -f " + dir.path("host")); }
    std::string fingerprint() override { return shell("ssh-keygen -lf " + dir.path("host.pub") + " | cut -d' ' -f2"); }
    std::string publicKey() { return shell("cut -d' ' -f1,2 " + dir.path("host.pub")); } // "TYPE BASE64", as known_hosts has it

private:
    std::string keyType_;
};

} // namespace bw::test
