// Measures tool installation against the standard tools, in one run on the same machine:
//  - extracting an archive of many files with our extraction against `unzip -o -q`;
//  - downloading a large file from a loopback web server with our downloader against
//    `curl -s -o`;
// each as a separate process, so elapsed time and peak memory (maximum resident set) are
// measured the same way for both. Prints a table of medians and ratios.
//
//   install_bench [--files N] [--archive-mb MB] [--download-mb MB] [--runs N] [--work DIR]
//
// The same executable is the child for our side: `--extract ARCHIVE DIR` and
// `--download URL FILE`.
#include <httplib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "install/HttpDownload.h"
#include "install/ToolInstall.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    int files = 2000;
    int archiveMb = 50;
    int downloadMb = 100;
    int runs = 5;
    std::string work;
};

struct Sample {
    double seconds = 0;
    double cpuSeconds = 0;  // user + system
    long peakKb = 0;
    int exitCode = -1;
};

std::string SelfPath() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).string();
}

// Runs a program to its end and measures it from outside.
Sample RunChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Sample s;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    s.cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    s.peakKb = usage.ru_maxrss;
    s.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return s;
}

// Data that compresses about as well as the files of a typical tool: a mix of random bytes
// (compiled code, images) and repetitive text (configuration, scripts).
std::string FileContents(std::mt19937& rng, std::size_t size) {
    std::string data(size, '\0');
    std::size_t pos = 0;
    static const char kText[] = "[config]\nname=value\nkey=12345\npath=data/levels/level01.map\n";
    while (pos < size) {
        std::size_t run = std::min<std::size_t>(size - pos, 512 + rng() % 4096);
        if (rng() % 3 == 0) {
            for (std::size_t i = 0; i < run; ++i) {
                data[pos + i] = kText[(pos + i) % (sizeof kText - 1)];
            }
        } else {
            for (std::size_t i = 0; i < run; ++i) {
                data[pos + i] = static_cast<char>(rng());
            }
        }
        pos += run;
    }
    return data;
}

// Writes an archive of `files` entries under one top folder, about `megabytes` large.
bool MakeArchive(const std::string& path, int files, int megabytes) {
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (zf == nullptr) {
        return false;
    }
    std::mt19937 rng(20240601);
    // Random bytes barely compress; the text part shrinks to almost nothing, so the entries
    // hold about 1.5 times the archive size.
    const std::size_t average =
        static_cast<std::size_t>(megabytes) * 1024 * 1024 * 3 / 2 / static_cast<std::size_t>(files);
    bool ok = true;
    for (int i = 0; i < files && ok; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Tool/data%02d/file%04d.bin", i % 40, i);
        std::string data = FileContents(rng, average / 2 + rng() % average);
        zip_fileinfo info{};
        info.dosDate = (44u << 25) | (6u << 21) | (1u << 16);
        ok = zipOpenNewFileInZip64(zf, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                   Z_DEFAULT_COMPRESSION, 0) == ZIP_OK &&
             zipWriteInFileInZip(zf, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK &&
             zipCloseFileInZip(zf) == ZIP_OK;
    }
    return zipClose(zf, nullptr) == ZIP_OK && ok;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long MaxOf(const std::vector<long>& v) {
    return *std::max_element(v.begin(), v.end());
}

struct Comparison {
    std::vector<double> oursSeconds, theirsSeconds;
    std::vector<double> oursCpu, theirsCpu;
    std::vector<long> oursPeak, theirsPeak;
    bool ok = true;
};

// Alternates the two commands `runs` times; `prepare(side)` clears the output of side 0
// (ours) or 1 (the baseline) before its run.
template <typename Prepare>
Comparison Compare(int runs, const std::vector<std::string>& ours,
                   const std::vector<std::string>& theirs, Prepare prepare) {
    Comparison c;
    for (int i = 0; i < runs; ++i) {
        for (int side = 0; side < 2; ++side) {
            prepare(side);
            Sample s = RunChild(side == 0 ? ours : theirs);
            c.ok = c.ok && s.exitCode == 0;
            (side == 0 ? c.oursSeconds : c.theirsSeconds).push_back(s.seconds);
            (side == 0 ? c.oursCpu : c.theirsCpu).push_back(s.cpuSeconds);
            (side == 0 ? c.oursPeak : c.theirsPeak).push_back(s.peakKb);
        }
    }
    return c;
}

void Report(const char* what, const Comparison& c) {
    double ours = Median(c.oursSeconds);
    double theirs = Median(c.theirsSeconds);
    double oursCpu = Median(c.oursCpu);
    double theirsCpu = Median(c.theirsCpu);
    std::printf(
        "| %-22s | %7.3f s | %7.3f s | %5.2fx | %7.3f s | %7.3f s | %5.2fx | %7ld KB | %7ld KB "
        "|%s\n",
        what, ours, theirs, ours / theirs, oursCpu, theirsCpu, oursCpu / theirsCpu,
        MaxOf(c.oursPeak), MaxOf(c.theirsPeak), c.ok ? "" : "  (a run failed)");
}

// Serves `size` random bytes at /big.bin on a loopback port, which it writes to `portFd`,
// until the process is ended.
void ServeFromMemory(std::size_t size, int portFd) {
    std::string body(size, '\0');
    std::mt19937 rng(7);
    for (auto& b : body) {
        b = static_cast<char>(rng());
    }
    httplib::Server server;
    server.Get("/big.bin", [&body](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            body.size(), "application/octet-stream",
            [&body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                sink.write(body.data() + offset, std::min<std::size_t>(length, 1 << 20));
                return true;
            });
    });
    int port = server.bind_to_any_port("127.0.0.1");
    if (write(portFd, &port, sizeof port) != sizeof port) {
        return;
    }
    close(portFd);
    server.listen_after_bind();
}

int ChildExtract(const std::string& archive, const std::string& dir) {
    job::Result r = install::InstallArchive(archive, dir);
    if (!r.Ok()) {
        std::fprintf(stderr, "%s\n", r.reason.c_str());
    }
    return r.Ok() ? 0 : 1;
}

int ChildDownload(const std::string& url, const std::string& file) {
    install::HttpDownload download(url, file);
    install::DownloadResult r = download.Run();
    if (!r.Ok()) {
        std::fprintf(stderr, "%s\n", r.result.reason.c_str());
    }
    return r.Ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--extract") == 0) {
        return ChildExtract(argv[2], argv[3]);
    }
    if (argc == 4 && std::strcmp(argv[1], "--download") == 0) {
        return ChildDownload(argv[2], argv[3]);
    }
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string arg = argv[i];
        int value = std::atoi(argv[i + 1]);
        if (arg == "--files") {
            o.files = value;
        } else if (arg == "--archive-mb") {
            o.archiveMb = value;
        } else if (arg == "--download-mb") {
            o.downloadMb = value;
        } else if (arg == "--runs") {
            o.runs = std::max(1, value);
        } else if (arg == "--work") {
            o.work = argv[i + 1];
        } else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    fs::path work = o.work.empty()
                        ? fs::temp_directory_path() / ("install-bench-" + std::to_string(getpid()))
                        : fs::path(o.work);
    fs::create_directories(work);
    const std::string self = SelfPath();

    const std::string archive = (work / "tool.zip").string();
    if (!MakeArchive(archive, o.files, o.archiveMb)) {
        std::fprintf(stderr, "cannot write %s\n", archive.c_str());
        return 1;
    }
    std::printf("archive: %d files, %.1f MB; download: %d MB; %d runs each, medians\n\n", o.files,
                static_cast<double>(fs::file_size(archive)) / (1024 * 1024), o.downloadMb, o.runs);
    std::printf(
        "| task                   | wall ours | wall base | ratio  | cpu ours  | cpu base  | ratio "
        " | peak ours  | peak base  |\n"
        "|------------------------|-----------|-----------|--------|-----------|-----------|-------"
        "-|------------|------------|\n");

    const std::string outOurs = (work / "out-ours").string();
    const std::string outTheirs = (work / "out-unzip").string();
    Comparison extract = Compare(o.runs, {self, "--extract", archive, outOurs},
                                 {"unzip", "-o", "-q", archive, "-d", outTheirs}, [&](int side) {
                                     fs::remove_all(side == 0 ? outOurs : outTheirs);
                                 });
    Report("extract vs unzip -o -q", extract);

    // The file is served from memory, so the server costs both clients the same. The server
    // runs in a process of its own: a child forked from a process holding the file would
    // count those pages in its peak memory.
    int portPipe[2];
    if (pipe(portPipe) != 0) {
        return 1;
    }
    pid_t serverPid = fork();
    if (serverPid == 0) {
        close(portPipe[0]);
        ServeFromMemory(static_cast<std::size_t>(o.downloadMb) * 1024 * 1024, portPipe[1]);
        _exit(0);
    }
    close(portPipe[1]);
    int port = 0;
    if (read(portPipe[0], &port, sizeof port) != sizeof port) {
        return 1;
    }
    close(portPipe[0]);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big.bin";
    const std::string fileOurs = (work / "ours.bin").string();
    const std::string fileTheirs = (work / "curl.bin").string();
    Comparison download =
        Compare(o.runs, {self, "--download", url, fileOurs}, {"curl", "-s", "-o", fileTheirs, url},
                [&](int side) { fs::remove(side == 0 ? fileOurs : fileTheirs); });
    Report("download vs curl -s -o", download);
    kill(serverPid, SIGTERM);
    waitpid(serverPid, nullptr, 0);

    const auto size = static_cast<std::uintmax_t>(o.downloadMb) * 1024 * 1024;
    std::error_code ec;
    bool same = fs::file_size(fileOurs, ec) == size && fs::file_size(fileTheirs, ec) == size;
    fs::remove_all(work);
    return extract.ok && download.ok && same ? 0 : 1;
}
