#pragma once

// Starts the devserver binary on free ports in a fresh folder and stops it again; for the load bench
// and the end-to-end tests.

#include "devserver/tools/ScriptedClient.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace dravel::devserver::tools {

class CServerProcess {
public:
    CServerProcess() = default;
    ~CServerProcess() { Stop(); }
    CServerProcess(const CServerProcess&) = delete;
    CServerProcess& operator=(const CServerProcess&) = delete;

    // Starts `exe` with every port free-chosen, the database in a temporary folder and `extra`
    // options; false (with the reason in m_strError) when it does not report its ports within 10 s.
    bool Start(const std::string& exe, const std::vector<std::string>& extra) {
        // A folder set beforehand (with m_bKeepDir, from an earlier run) is used again.
        if (m_strDir.empty()) {
            char pattern[] = "/tmp/devserver-XXXXXX";
            if (!::mkdtemp(pattern)) {
                m_strError = "mkdtemp failed";
                return false;
            }
            m_strDir = pattern;
        }
        std::vector<std::string> args = {exe,
                                         "--db",
                                         m_strDir + "/dev.db",
                                         "--messenger-port",
                                         "0",
                                         "--upload-port",
                                         "0",
                                         "--download-port",
                                         "0",
                                         "--http-port",
                                         "0",
                                         "--control-port",
                                         "0"};
        if (m_bTranscript)
            args.insert(args.end(), {"--transcript", m_strDir + "/transcript.jsonl"});
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (::pipe(out) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        ::close(out[1]);
        m_out = out[0];
        std::string line;
        char c;
        pollfd p{m_out, POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0 && ::read(m_out, &c, 1) == 1) {
            if (c != '\n') {
                line.push_back(c);
                continue;
            }
            unsigned m = 0, u = 0, d = 0, h = 0, k = 0;
            if (std::sscanf(line.c_str(), "devserver: listening messenger=%u upload=%u download=%u http=%u control=%u",
                            &m, &u, &d, &h, &k) == 5) {
                m_nMessenger = static_cast<uint16_t>(m);
                m_nUpload = static_cast<uint16_t>(u);
                m_nDownload = static_cast<uint16_t>(d);
                m_nHttp = static_cast<uint16_t>(h);
                m_nControl = static_cast<uint16_t>(k);
                return true;
            }
            line.clear();
        }
        m_strError = "the server did not report its ports";
        Stop();
        return false;
    }

    // One control command; the answer line without its line end ("" when the control is unreachable).
    std::string Control(const std::string& line) const {
        int fd = ConnectLoopback(m_nControl);
        if (fd < 0)
            return {};
        std::string request = line + "\n";
        SendAll(fd, request.data(), request.size());
        std::string answer;
        char c;
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 5000) > 0 && ::read(fd, &c, 1) == 1 && c != '\n')
            answer.push_back(c);
        ::close(fd);
        return answer;
    }

    // Peak resident memory of the server so far, in kB (Linux VmHWM); -1 when unknown.
    long PeakMemoryKb() const {
        std::FILE* f = std::fopen(("/proc/" + std::to_string(m_pid) + "/status").c_str(), "r");
        if (!f)
            return -1;
        char line[256];
        long kb = -1;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
                break;
        std::fclose(f);
        return kb;
    }

    // CPU time the server used so far (user and system), in seconds; -1 when unknown.
    double CpuSeconds() const {
        std::FILE* f = std::fopen(("/proc/" + std::to_string(m_pid) + "/stat").c_str(), "r");
        if (!f)
            return -1;
        char buffer[1024];
        size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        buffer[n] = '\0';
        // Fields after the command name, which ends with the last ')': state is field 3, utime 14, stime 15.
        const char* p = std::strrchr(buffer, ')');
        unsigned long utime = 0, stime = 0;
        if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
            return -1;
        return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

    // Asks for a shutdown, then makes sure: the process is gone and its folder removed afterwards.
    void Stop() {
        if (m_pid > 0) {
            Control("shutdown");
            int status = 0;
            for (int i = 0; i < 50 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
                ::usleep(100 * 1000);
            if (::waitpid(m_pid, &status, WNOHANG) == 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
            }
            m_pid = -1;
        }
        if (m_out >= 0) {
            ::close(m_out);
            m_out = -1;
        }
        if (!m_strDir.empty() && !m_bKeepDir) {
            std::error_code ec;
            std::filesystem::remove_all(m_strDir, ec);
        }
    }

    uint16_t m_nMessenger = 0, m_nUpload = 0, m_nDownload = 0, m_nHttp = 0, m_nControl = 0;
    std::string m_strDir;
    std::string m_strError;
    bool m_bKeepDir = false;
    bool m_bTranscript = true;

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

} // namespace dravel::devserver::tools
