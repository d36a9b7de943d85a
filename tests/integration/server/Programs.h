#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "TestDatabase.h"

extern char** environ;

// Runs a program to its end with `input` on its stdin and returns its exit code and output.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Spawns `args` with stdin, stdout and stderr bound to files in `work`.
inline pid_t Spawn(std::vector<std::string> args, const std::filesystem::path& in,
                   const std::filesystem::path& out, const std::filesystem::path& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + args[0]);
    }
    return pid;
}

inline ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& input = {}) {
    TempDir work;
    work.Write("in", input);
    pid_t pid = Spawn(args, work.path() / "in", work.path() / "out", work.path() / "err");
    int status = 0;
    waitpid(pid, &status, 0);
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = work.Read("out");
    run.err = work.Read("err");
    return run;
}

// ravik-dataserver with its HTTP service on ephemeral loopback ports, on a database of its
// own seeded from a fixture, serving the fixture's web directory (or `www`). Ended by the
// destructor. The database is the SQLite file `db`, or the PostgreSQL database that path
// stands for when the tests run against PostgreSQL (TestDatabase.h).
class DataServerProcess {
  public:
    // `db` is kept by the caller when a later server should find the same data. `extra`
    // options are added to the command line.
    DataServerProcess(const std::string& db, const std::string& seed,
                      const std::string& www = FIXTURE_DIR "/www",
                      const std::vector<std::string>& extra = {}) {
        std::filesystem::remove(work_.path() / "ports");
        std::vector<std::string> args{
            DATASERVER_PATH, "--listen", "127.0.0.1:0", "--http",         "127.0.0.1:0",
            "--www",         www,        "--db",        TestDatabase(db), "--port-file",
            work_ / "ports"};
        if (!seed.empty()) {
            args.insert(args.end(), {"--seed", seed});
        }
        args.insert(args.end(), extra.begin(), extra.end());
        work_.Write("in", "");
        pid_ = Spawn(args, work_.path() / "in", work_.path() / "out", work_.path() / "err");
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!std::filesystem::exists(work_.path() / "ports")) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                throw std::runtime_error("ravik-dataserver ended: " + work_.Read("err"));
            }
            if (std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error("ravik-dataserver did not come up");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::istringstream ports(work_.Read("ports"));
        std::string name;
        int port = 0;
        while (ports >> name >> port) {
            (name == "tcp" ? port_ : httpPort_) = port;
        }
    }
    ~DataServerProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    DataServerProcess(const DataServerProcess&) = delete;
    DataServerProcess& operator=(const DataServerProcess&) = delete;

    // Sends SIGTERM and waits for the end, at most `bound` (then the server is killed). The
    // exit code; -1 when the server did not exit by itself.
    int Terminate(std::chrono::seconds bound = std::chrono::seconds(60)) {
        kill(pid_, SIGTERM);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + bound;
        while (waitpid(pid_, &status, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int Port() const { return port_; }
    int HttpPort() const { return httpPort_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string HttpBase() const { return "http://127.0.0.1:" + std::to_string(httpPort_); }
    // What the server logged so far.
    std::string Log() const { return work_.Read("err"); }

  private:
    TempDir work_;
    pid_t pid_ = -1;
    int port_ = 0;
    int httpPort_ = 0;
};
