// ravik-dataserver: the reference data server. It answers the launcher's requests from a
// SQLite database or a PostgreSQL one shared with other instances, stores the reports it
// receives and, on request, serves a directory of static files (icons, tool archives, web
// pages) over HTTP.
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AdminCommand.h"
#include "AdminConsole.h"
#include "CatalogEditJson.h"
#include "DataServer.h"
#include "Store.h"
#include "platform/ProductVersion.h"

namespace {

struct Options {
    dataserver::DataServerOptions server;
    bool http = false;
    std::string db;
    std::string seed;
    std::string portFile;
    std::size_t maxConnections = 0;  // 0: derived from the open-file limit
    std::string adminTokenFile;
};

void PrintUsage(std::ostream& out) {
    out << "usage: ravik-dataserver --listen HOST:PORT [--http HOST:PORT --www DIR] --db WHERE\n"
           "                        [--seed FILE] [--port-file FILE] [--removal-marker TEXT]\n"
           "                        [--max-connections N] [--read-timeout S]\n"
           "                        [--exchange-timeout S] [--transfer-timeout S]\n"
           "                        [--shutdown-timeout S] [--admin-token-file FILE]\n"
           "       ravik-dataserver admin --db WHERE COMMAND ... (admin --help lists them)\n"
           "A port of 0 lets the system choose; --port-file receives the ports bound\n"
           "(\"tcp PORT\" and \"http PORT\" lines). \"{{http}}\" in the seed's texts stands for\n"
           "the HTTP service's base address. WHERE is a SQLite file (created when missing)\n"
           "or a postgresql:// URI.\n"
           "  --max-connections N   connections open at once over both services; more are\n"
           "                        closed at once (default: from the open-file limit)\n"
           "  --read-timeout S      a client silent this long while sending its request is\n"
           "                        closed (default 10 seconds)\n"
           "  --exchange-timeout S  the longest a request exchange may take (default 30)\n"
           "  --transfer-timeout S  the longest an HTTP client may take to accept the next\n"
           "                        chunk of its reply (default 30)\n"
           "  --shutdown-timeout S  on SIGTERM or SIGINT, how long requests already received\n"
           "                        may take to be answered (default 5)\n"
           "  --admin-token-file FILE  opens the operator console at /admin/ on the HTTP\n"
           "                        service; the file's first line is the token it asks for\n"
           "Seconds may have a fraction, such as 0.5.\n";
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

// A number of seconds, fraction allowed, above 0.
bool ParseSeconds(const std::string& text, dataserver::ServerLimits::Duration& value) {
    try {
        std::size_t used = 0;
        double seconds = std::stod(text, &used);
        if (used != text.size() || !(seconds > 0) || seconds > 1e6) {
            return false;
        }
        value = std::chrono::duration_cast<dataserver::ServerLimits::Duration>(
            std::chrono::duration<double>(seconds));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ParseCount(const std::string& text, std::size_t& value) {
    try {
        std::size_t used = 0;
        unsigned long long count = std::stoull(text, &used);
        value = static_cast<std::size_t>(count);
        return used == text.size() && count > 0 && text[0] != '-';
    } catch (const std::exception&) {
        return false;
    }
}

// Raises the soft limit on open files to the hard one and returns the connections that
// leave room for: one descriptor each, and a few for the database, the log and the
// listeners. A client downloading a file holds a second one; when none is left, it is
// told to retry (503) rather than the limit halving what the request service may hold.
std::size_t ConnectionsTheSystemAllows() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 1000;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    constexpr rlim_t kReserved = 64;
    rlim_t files = limit.rlim_cur == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_cur;
    return files > 2 * kReserved ? static_cast<std::size_t>(files - kReserved) : 32;
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

// The operator token: the file's first line without surrounding blanks; empty when the file
// cannot be read or holds none.
std::string ReadToken(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    auto first = line.find_first_not_of(" \t\r");
    auto last = line.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "admin") {
        return dataserver::RunAdmin(std::vector<std::string>(argv + 2, argv + argc), std::cout,
                                    std::cerr);
    }
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
        dataserver::DataServerOptions& server = options.server;
        dataserver::ServerLimits& limits = server.limits;
        if (arg == "--listen" && hasValue) {
            if (!SplitAddress(argv[++i], server.listenHost, server.listenPort)) {
                return Fail("--listen wants HOST:PORT");
            }
        } else if (arg == "--http" && hasValue) {
            if (!SplitAddress(argv[++i], server.httpHost, server.httpPort)) {
                return Fail("--http wants HOST:PORT");
            }
            options.http = true;
        } else if (arg == "--www" && hasValue) {
            server.www = argv[++i];
        } else if (arg == "--db" && hasValue) {
            options.db = argv[++i];
        } else if (arg == "--seed" && hasValue) {
            options.seed = argv[++i];
        } else if (arg == "--port-file" && hasValue) {
            options.portFile = argv[++i];
        } else if (arg == "--removal-marker" && hasValue) {
            server.handler.removalMarker = argv[++i];
        } else if (arg == "--admin-token-file" && hasValue) {
            options.adminTokenFile = argv[++i];
        } else if (arg == "--max-connections" && hasValue) {
            if (!ParseCount(argv[++i], options.maxConnections)) {
                return Fail("--max-connections wants a number above 0");
            }
        } else if (arg.ends_with("-timeout") && hasValue) {
            dataserver::ServerLimits::Duration* bound =
                arg == "--read-timeout"       ? &limits.readTimeout
                : arg == "--exchange-timeout" ? &limits.exchangeTimeout
                : arg == "--transfer-timeout" ? &limits.transferTimeout
                : arg == "--shutdown-timeout" ? &limits.shutdownTimeout
                                              : nullptr;
            if (bound == nullptr) {
                return Usage();
            }
            if (!ParseSeconds(argv[++i], *bound)) {
                return Fail(arg + " wants a number of seconds above 0");
            }
        } else {
            return Usage();
        }
    }
    if (options.db.empty() || options.http != !options.server.www.empty()) {
        return Usage();
    }
    std::string adminToken;
    if (!options.adminTokenFile.empty()) {
        if (!options.http) {
            return Fail("--admin-token-file needs the HTTP service (--http, --www)");
        }
        adminToken = ReadToken(options.adminTokenFile);
        if (adminToken.empty()) {
            return Fail("--admin-token-file " + options.adminTokenFile +
                        " cannot be read or its first line holds no token");
        }
    }

    std::unique_ptr<dataserver::Store> opened;
    try {
        opened = dataserver::OpenStore(options.db);
        if (!options.seed.empty()) {
            opened->Publish(dataserver::EditFromFile(options.seed));
        }
    } catch (const dataserver::StoreError& e) {
        return Fail(e.what());
    }
    dataserver::Store& store = *opened;

    std::mutex logMutex;
    auto log = [&logMutex](const std::string& line) {
        std::lock_guard lock(logMutex);
        std::cerr << "ravik-dataserver: " << line << std::endl;
    };
    if (options.http) {
        std::error_code ec;
        if (!std::filesystem::is_directory(options.server.www, ec)) {
            return Fail("--www " + options.server.www.string() + " is not a directory");
        }
    }
    std::size_t allowed = ConnectionsTheSystemAllows();
    options.server.limits.maxConnections =
        options.maxConnections > 0 ? options.maxConnections : allowed;
    options.server.stopOnSignals = true;

    dataserver::DataServer server(store, options.server, log);
    if (!adminToken.empty()) {
        server.AddRoute(std::make_shared<dataserver::AdminConsole>(store, adminToken));
    }
    if (!server.Listen()) {
        return Fail(server.Error());
    }
    const dataserver::DataServerOptions& listening = options.server;
    std::cout << "ravik-dataserver: listening on " << listening.listenHost << ":" << server.Port();
    if (options.http) {
        std::cout << ", HTTP on " << listening.httpHost << ":" << server.HttpPort();
    }
    if (!adminToken.empty()) {
        std::cout << ", operator console at http://"
                  << (listening.httpHost == "0.0.0.0" ? std::string("127.0.0.1")
                                                      : listening.httpHost)
                  << ":" << server.HttpPort() << "/admin/";
    }
    std::cout << std::endl;
    if (!options.portFile.empty() &&
        !WritePortFile(options.portFile, server.Port(), server.HttpPort())) {
        return Fail("cannot write " + options.portFile);
    }
    server.Run();
    return 0;
}
