// Whole processes on an X display (run it under xvfb-run): how long from exec until the first
// window is mapped, and how much resident memory the program and its child processes hold
// after 2 s idle, for Ravik_desk on the large program directory of the catalog benchmarks
// against a bare Qt Widgets window (bare_qt_window). For Ravik_desk it then opens one web page
// box (a double click on a web-page tile of the first page, through xdotool), closes it with
// its close button and measures again once the box's helper has ended. Each figure is the
// median of --runs runs (default 5), one program at a time.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LargeCatalog.h"
#include "TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// The processes below `root`, itself included.
std::vector<pid_t> ProcessTree(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> parents;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        parents.emplace_back(std::stoi(name), parent);
    }
    std::vector<pid_t> tree{root};
    for (size_t i = 0; i < tree.size(); ++i) {
        for (const auto& [pid, parent] : parents) {
            if (parent == tree[i]) {
                tree.push_back(pid);
            }
        }
    }
    return tree;
}

// Resident memory of `root` and its descendants in MiB (VmRSS; shared pages count once per
// process, as a task manager shows them).
double ResidentMiB(pid_t root) {
    double kib = 0;
    for (pid_t pid : ProcessTree(root)) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) {
                kib += std::atof(line.c_str() + 6);
            }
        }
    }
    return kib / 1024.0;
}

// The X display, told about every window mapped on its root.
class Display {
  public:
    Display() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_)) {
            std::cerr << "desk_process_bench: no X display (run it under xvfb-run)\n";
            std::exit(2);
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
    }
    ~Display() { xcb_disconnect(connection_); }

    // Waits up to `limit` for a window whose size `wanted` accepts to be mapped and painted;
    // its frame on the root, or a zero width when none came.
    struct Frame {
        xcb_window_t window = 0;
        int x = 0, y = 0, width = 0, height = 0;
    };
    Frame WaitForMap(std::chrono::milliseconds limit, const std::function<bool(int, int)>& wanted) {
        Frame frame = WaitForMapNotify(limit, wanted);
        if (frame.width > 0) {
            const auto end = Clock::now() + limit;
            while (!Painted(frame) && Clock::now() < end) {
                std::this_thread::sleep_for(1ms);
            }
        }
        return frame;
    }

  private:
    // Whether the window's middle row shows anything but the black of the empty display:
    // mapped windows show nothing until their program has painted them.
    bool Painted(const Frame& frame) {
        xcb_get_image_reply_t* image =
            xcb_get_image_reply(connection_,
                                xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, frame.window,
                                              0, static_cast<int16_t>(frame.height / 2),
                                              static_cast<uint16_t>(frame.width), 1, ~0u),
                                nullptr);
        if (image == nullptr) {
            return false;
        }
        const uint8_t* data = xcb_get_image_data(image);
        const int length = xcb_get_image_data_length(image);
        const bool painted =
            std::any_of(data, data + length, [](uint8_t byte) { return byte != 0; });
        std::free(image);
        return painted;
    }

    Frame WaitForMapNotify(std::chrono::milliseconds limit,
                           const std::function<bool(int, int)>& wanted) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            xcb_generic_event_t* event = xcb_poll_for_event(connection_);
            if (event == nullptr) {
                pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
                poll(&fd, 1, 5);
                continue;
            }
            Frame frame;
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (!map->override_redirect) {
                    frame = Geometry(map->window);
                }
            }
            std::free(event);
            if (frame.width > 0 && wanted(frame.width, frame.height)) {
                return frame;
            }
        }
        return {};
    }

    Frame Geometry(xcb_window_t window) {
        Frame frame;
        frame.window = window;
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr);
        if (geometry == nullptr) {
            return frame;
        }
        xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
            connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr);
        frame.width = geometry->width;
        frame.height = geometry->height;
        if (at != nullptr) {
            frame.x = at->dst_x;
            frame.y = at->dst_y;
        }
        std::free(at);
        std::free(geometry);
        return frame;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
};

pid_t Start(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& runtimeDir) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        setenv("XDG_CONFIG_HOME", runtimeDir.c_str(), 1);
        // The programs' own messages would drown the figures.
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

void Click(int x, int y, int count) {
    const std::string command = "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                                " click --repeat " + std::to_string(count) + " --delay 60 1";
    if (std::system(command.c_str()) != 0) {
        std::cerr << "desk_process_bench: xdotool failed\n";
    }
}

struct Figures {
    std::vector<double> startMs, idleMiB, boxOpenMiB, afterBoxMiB;
};

// One run of `program`; with `webBox` also the web box's open and close.
void RunOnce(const std::string& program, const std::vector<std::string>& arguments, bool webBox,
             Figures& figures) {
    TempDir runtime;
    Display display;
    const auto started = Clock::now();
    const pid_t pid = Start(program, arguments, runtime.dir());
    const Display::Frame main = display.WaitForMap(
        30s, [](int width, int height) { return width == 310 && height == 528; });
    if (main.width == 0) {
        std::cerr << "desk_process_bench: " << program << " showed no window\n";
        Stop(pid);
        return;
    }
    figures.startMs.push_back(
        std::chrono::duration<double, std::milli>(Clock::now() - started).count());
    std::this_thread::sleep_for(2s);
    figures.idleMiB.push_back(ResidentMiB(pid));
    if (webBox) {
        // The second tile of the first page (我的Ravik) is a small web page box's item.
        Click(main.x + 2 + 77 + 36, main.y + 102 + 5 + 34, 2);
        const Display::Frame box =
            display.WaitForMap(30s, [](int width, int) { return width == 575; });
        if (box.width == 0) {
            std::cerr << "desk_process_bench: no web box opened\n";
        } else {
            std::this_thread::sleep_for(2s);
            figures.boxOpenMiB.push_back(ResidentMiB(pid));
            Click(box.x + 548 + 9, box.y + 8 + 9, 1);
            const auto limit = Clock::now() + 30s;
            while (ProcessTree(pid).size() > 1 && Clock::now() < limit) {
                std::this_thread::sleep_for(20ms);
            }
            std::this_thread::sleep_for(2s);
            figures.afterBoxMiB.push_back(ResidentMiB(pid));
        }
    }
    Stop(pid);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--runs") {
            runs = std::max(3, std::atoi(argv[i + 1]));
        }
    }
    TempDir large;
    MakeLargeProgramDirectory(large.dir());
    // No data server answers, and the web box's loading page shows the engine's error page:
    // the start and the web engine are measured, not a network.
    std::ofstream(large.dir() + "launcher.ini")
        << "[server]\nhost=127.0.0.1\nport=9\n[web]\nproduct=http://127.0.0.1:9\n";

    Figures bare, desk;
    for (int run = 0; run < runs; ++run) {
        RunOnce(RAVIK_BARE_WINDOW_PROGRAM, {}, false, bare);
        RunOnce(RAVIK_DESK_PROGRAM, {"--data-dir", large.dir()}, true, desk);
    }
    const double startRatio = Median(desk.startMs) / Median(bare.startMs);
    const double memoryRatio = Median(desk.idleMiB) / Median(bare.idleMiB);
    std::printf("medians of %d runs\n", runs);
    std::printf("| | bare Qt window | Ravik_desk, large program directory | ratio |\n");
    std::printf("|---|---|---|---|\n");
    std::printf("| exec -> first window painted | %.0f ms | %.0f ms | %.2fx |\n",
                Median(bare.startMs), Median(desk.startMs), startRatio);
    std::printf("| resident memory after 2 s idle | %.1f MiB | %.1f MiB | %.2fx |\n",
                Median(bare.idleMiB), Median(desk.idleMiB), memoryRatio);
    std::printf("| ... with one web box open (all processes) | | %.1f MiB | |\n",
                Median(desk.boxOpenMiB));
    std::printf(
        "| ... after closing it, 2 s idle (all processes) | | %.1f MiB | %+.1f %% of idle |\n",
        Median(desk.afterBoxMiB), (Median(desk.afterBoxMiB) / Median(desk.idleMiB) - 1) * 100);
    return 0;
}
