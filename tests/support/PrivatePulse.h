#pragma once
// A PulseAudio server of a test's (or a benchmark's) own: it runs on a socket in a folder of the
// caller's, with a null sink "vsink" and a source "vmic" remapped from the sink's monitor, and is
// ended with the object (or with the process, should that be killed). Header-only, so the
// benchmarks can use it without the test libraries.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace lq::test {

// The full path of `name` on PATH, or "" when it is not installed.
inline std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t from = 0;
    while (from <= dirs.size()) {
        const size_t to = dirs.find(':', from);
        const std::string dir = dirs.substr(from, to == std::string::npos ? std::string::npos : to - from);
        const std::string candidate = dir + "/" + name;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
        if (to == std::string::npos) break;
        from = to + 1;
    }
    return {};
}

// A child process ended by its pid (terminated, then killed when it does not go).
class Child {
public:
    // The child's output goes to /dev/null (a test runner waits for its pipes to close), and the
    // child is ended with the test even when the test itself is killed.
    bool Spawn(std::vector<std::string> args, std::vector<std::string> env) {
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
            }
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        if (pid_ < 0) pid_ = 0;
        return pid_ > 0;
    }
    bool Exited() {
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) pid_ = 0;
        return pid_ <= 0;
    }
    ~Child() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (Exited()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }

private:
    pid_t pid_ = 0;
};

class PrivatePulse {
public:
    // Starts `program` (the pulseaudio binary) with its socket, script and log in `dir`;
    // `extraScript` adds lines to its start-up script (modules of the caller's).
    bool Start(const std::string& program, const std::string& dir, const std::string& extraScript = {}) {
        runtime_ = dir + "/rt";
        mkdir(runtime_.c_str(), 0700);
        socket_ = runtime_ + "/native";
        log_ = dir + "/pulse.log";
        const std::string script = dir + "/default.pa";
        std::ofstream(script) << "load-module module-native-protocol-unix socket=" << socket_ << " auth-anonymous=1\n"
                              << "load-module module-null-sink sink_name=vsink rate=44100\n"
                              << "load-module module-remap-source master=vsink.monitor source_name=vmic\n"
                              << "set-default-sink vsink\nset-default-source vmic\n"
                              << extraScript;
        std::vector<std::string> env = {"HOME=" + dir, "PULSE_RUNTIME_PATH=" + runtime_,
                                        "XDG_RUNTIME_DIR=" + runtime_, "PATH=/usr/bin:/bin"};
        std::vector<std::string> args = {program, "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
                                         "--disallow-exit", "--use-pid-file=no", "--disable-shm=yes",
                                         "--log-target=file:" + log_};
        env_ = {"HOME=" + dir, "PULSE_RUNTIME_PATH=" + runtime_, "XDG_RUNTIME_DIR=" + runtime_,
                "PULSE_SERVER=unix:" + socket_, "PATH=/usr/bin:/bin"};
        if (!server_.Spawn(args, env)) return false;
        // The socket appears once the modules are loaded.
        for (int i = 0; i < 100; ++i) {
            struct stat st {};
            if (stat(socket_.c_str(), &st) == 0) return true;
            if (server_.Exited()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // The environment of a client of this server.
    const std::vector<std::string>& ClientEnv() const { return env_; }
    const std::string& Socket() const { return socket_; }
    const std::string& LogFile() const { return log_; }

    // What `pactl list sinks short` says of the sink "vsink" (RUNNING, IDLE or SUSPENDED), or ""
    // when pactl is missing or the server does not answer.
    std::string SinkState() const {
        const std::string pactl = FindProgram("pactl");
        if (pactl.empty()) return {};
        const std::string cmd = "PULSE_SERVER=unix:" + socket_ + " '" + pactl + "' list sinks short 2>/dev/null";
        FILE* out = popen(cmd.c_str(), "r");
        if (!out) return {};
        std::string state;
        char line[512];
        while (std::fgets(line, sizeof line, out)) {
            const std::string l = line;
            if (l.find("vsink") == std::string::npos) continue;
            for (const char* s : {"RUNNING", "IDLE", "SUSPENDED"})
                if (l.find(s) != std::string::npos) state = s;
        }
        pclose(out);
        return state;
    }

private:
    Child server_;
    std::string runtime_;
    std::string socket_;
    std::string log_;
    std::vector<std::string> env_;
};

}  // namespace lq::test
