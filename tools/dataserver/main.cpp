// ravik-dataserver: the reference data server. It answers the launcher's requests from a
// SQLite database, stores the reports it receives and, on request, serves a directory of
// static files (icons, tool archives, web pages) over HTTP.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "FrameServer.h"
#include "RequestHandler.h"
#include "SqliteStore.h"
#include "StaticWebServer.h"
#include "platform/ProductVersion.h"
#include "platform/Sockets.h"

namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnSignal(int) {
    g_stop = true;
}

struct Options {
    std::string listenHost = "127.0.0.1";
    int listenPort = 3130;
    bool http = false;
    std::string httpHost;
    int httpPort = 0;
    std::string www;
    std::string db;
    std::string seed;
    std::string portFile;
    std::string removalMarker = "8053";
};

void PrintUsage(std::ostream& out) {
    out << "usage: ravik-dataserver --listen HOST:PORT [--http HOST:PORT --www DIR] --db FILE\n"
           "                        [--seed FILE] [--port-file FILE] [--removal-marker TEXT]\n"
           "A port of 0 lets the system choose; --port-file receives the ports bound\n"
           "(\"tcp PORT\" and \"http PORT\" lines). \"{{http}}\" in the seed's texts stands for\n"
           "the HTTP service's base address.\n";
}

int Usage() {
    PrintUsage(std::cerr);
    return 2;
}

bool SplitAddress(const std::string& text, std::string& host, int& port) {
    auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    host = text.substr(0, colon);
    try {
        std::size_t used = 0;
        port = std::stoi(text.substr(colon + 1), &used);
        return used == text.size() - colon - 1 && port >= 0 && port <= 65535;
    } catch (const std::exception&) {
        return false;
    }
}

int Fail(const std::string& reason) {
    std::cerr << "ravik-dataserver: " << reason << "\n";
    return 1;
}

// Written whole under a temporary name first, so a reader never sees half of it.
bool WritePortFile(const std::string& path, int tcpPort, int httpPort) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << "tcp " << tcpPort << "\n";
        if (httpPort > 0) {
            out << "http " << httpPort << "\n";
        }
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintUsage(std::cout);
            return 0;
        }
        if (arg == "--version") {
            std::cout << "ravik-dataserver " << platform::kProductVersion << "\n";
            return 0;
        }
        if (arg == "--listen" && hasValue) {
            if (!SplitAddress(argv[++i], options.listenHost, options.listenPort)) {
                return Fail("--listen wants HOST:PORT");
            }
        } else if (arg == "--http" && hasValue) {
            if (!SplitAddress(argv[++i], options.httpHost, options.httpPort)) {
                return Fail("--http wants HOST:PORT");
            }
            options.http = true;
        } else if (arg == "--www" && hasValue) {
            options.www = argv[++i];
        } else if (arg == "--db" && hasValue) {
            options.db = argv[++i];
        } else if (arg == "--seed" && hasValue) {
            options.seed = argv[++i];
        } else if (arg == "--port-file" && hasValue) {
            options.portFile = argv[++i];
        } else if (arg == "--removal-marker" && hasValue) {
            options.removalMarker = argv[++i];
        } else {
            return Usage();
        }
    }
    if (options.db.empty() || options.http != !options.www.empty()) {
        return Usage();
    }
    platform::InitSocketLibrary();

    dataserver::SqliteStore store;
    if (!store.Open(options.db)) {
        return Fail(store.Error());
    }
    if (!options.seed.empty() && !store.ImportSeed(options.seed)) {
        return Fail(store.Error());
    }

    std::mutex logMutex;
    auto log = [&logMutex](const std::string& line) {
        std::lock_guard lock(logMutex);
        std::cerr << "ravik-dataserver: " << line << std::endl;
    };
    std::unique_ptr<dataserver::StaticWebServer> web;
    int httpPort = 0;
    if (options.http) {
        std::error_code ec;
        if (!std::filesystem::is_directory(options.www, ec)) {
            return Fail("--www " + options.www + " is not a directory");
        }
        web = std::make_unique<dataserver::StaticWebServer>(options.www, log);
        if (!web->Listen(options.httpHost, options.httpPort)) {
            return Fail("cannot listen for HTTP on " + options.httpHost + ":" +
                        std::to_string(options.httpPort) + ": " + web->Error());
        }
        httpPort = web->Port();
    }
    std::string publicHost = options.httpHost == "0.0.0.0" || options.httpHost.empty()
                                 ? std::string("127.0.0.1")
                                 : options.httpHost;

    dataserver::HandlerOptions handlerOptions;
    handlerOptions.removalMarker = options.removalMarker;
    if (options.http) {
        handlerOptions.httpBase = "http://" + publicHost + ":" + std::to_string(httpPort);
    }
    dataserver::RequestHandler handler(store, handlerOptions);
    dataserver::FrameServer frames(handler, log);
    int result = 0;
    if (!frames.Listen(options.listenHost, options.listenPort)) {
        result = Fail("cannot listen on " + options.listenHost + ":" +
                      std::to_string(options.listenPort) + ": " + frames.Error());
    } else {
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        std::cout << "ravik-dataserver: listening on " << options.listenHost << ":"
                  << frames.Port();
        if (options.http) {
            std::cout << ", HTTP on " << options.httpHost << ":" << httpPort;
        }
        std::cout << std::endl;
        if (!options.portFile.empty() &&
            !WritePortFile(options.portFile, frames.Port(), httpPort)) {
            result = Fail("cannot write " + options.portFile);
        } else {
            std::thread webThread;
            if (web) {
                webThread = std::thread([&web] { web->Serve(g_stop); });
            }
            frames.Serve(g_stop);
            if (webThread.joinable()) {
                webThread.join();
            }
        }
    }
    return result;
}
