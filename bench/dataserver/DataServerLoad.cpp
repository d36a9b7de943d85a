// dataserver_load: many launchers at once against a data server on this machine. Prints one
// line of key=value pairs for scripts, one line for people, and on stderr the kinds of
// refusals and errors seen.
#include <sys/resource.h>

#include <boost/asio/ip/address.hpp>
#include <cstdio>
#include <iostream>
#include <string>

#include "LoadGenerator.h"

namespace {

void PrintUsage(std::ostream& out) {
    out << "usage: dataserver_load --port PORT [--host 127.0.0.1] [--clients N] [--slow S]\n"
           "                       [--seconds D] [--mix mixed|start] [--timeout SECONDS]\n"
           "                       [--interval MS]\n"
           "Normal clients loop for D seconds: connect, send one request, read the reply\n"
           "until the server closes. --mix mixed: half catalog queries (lasttime 0), half\n"
           "start reports; start: start reports only. Slow clients send one byte and hold\n"
           "the connection. --interval MS: each normal client starts one exchange every MS\n"
           "milliseconds instead of at once again. The server must be on this machine (a\n"
           "loopback address).\n";
}

// Every client holds a descriptor; the soft limit is often far below what the system allows.
rlim_t RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            return raised.rlim_cur;
        }
    }
    return limit.rlim_cur;
}

double Milliseconds(std::chrono::microseconds value) {
    return static_cast<double>(value.count()) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    bench::LoadOptions options;
    std::string host = "127.0.0.1";
    int port = -1;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--help" || arg == "-h") {
                PrintUsage(std::cout);
                return 0;
            }
            if (i + 1 >= argc) {
                PrintUsage(std::cerr);
                return 2;
            }
            const std::string value = argv[++i];
            if (arg == "--port") {
                port = std::stoi(value);
            } else if (arg == "--host") {
                host = value;
            } else if (arg == "--clients") {
                options.clients = std::stoul(value);
            } else if (arg == "--slow") {
                options.slowClients = std::stoul(value);
            } else if (arg == "--seconds") {
                options.duration = std::chrono::seconds(std::stoul(value));
            } else if (arg == "--interval") {
                options.interval = std::chrono::milliseconds(std::stoul(value));
            } else if (arg == "--timeout") {
                options.exchangeTimeout = std::chrono::seconds(std::stoul(value));
            } else if (arg == "--mix" && (value == "mixed" || value == "start")) {
                options.mix =
                    value == "start" ? bench::RequestMix::StartOnly : bench::RequestMix::Mixed;
            } else {
                PrintUsage(std::cerr);
                return 2;
            }
        }
    } catch (const std::exception&) {
        PrintUsage(std::cerr);
        return 2;
    }
    boost::system::error_code ec;
    const auto address = boost::asio::ip::make_address(host, ec);
    if (ec || !address.is_loopback() || port <= 0 || port > 65535) {
        std::cerr << "dataserver_load: wants --port PORT of a server on a loopback address\n";
        return 2;
    }
    options.server = {address, static_cast<unsigned short>(port)};

    const rlim_t openFiles = RaiseOpenFileLimit();
    const std::size_t needed = options.clients + options.slowClients + 16;
    if (openFiles < needed) {
        std::cerr << "dataserver_load: the open-file limit (" << openFiles << ") is below the "
                  << needed << " descriptors the clients need\n";
        return 1;
    }

    bench::LoadGenerator generator(options);
    const bench::LoadResult result = generator.Run();
    const bench::LoadTally& tally = result.tally;
    const double seconds = static_cast<double>(options.duration.count());
    const auto replies = tally.Count(bench::Outcome::Reply);
    const double perSecond = seconds > 0 ? static_cast<double>(replies) / seconds : 0.0;
    const double p50 = Milliseconds(tally.Percentile(0.50));
    const double p99 = Milliseconds(tally.Percentile(0.99));
    const char* mix = options.mix == bench::RequestMix::StartOnly ? "start" : "mixed";

    std::printf(
        "dataserver_load clients=%zu slow=%zu mix=%s seconds=%.0f replies=%zu "
        "replies_per_s=%.1f p50_ms=%.2f p99_ms=%.2f refused=%zu errors=%zu sent=%zu "
        "abandoned=%zu slow_dropped=%zu\n",
        options.clients, options.slowClients, mix, seconds, replies, perSecond, p50, p99,
        tally.Count(bench::Outcome::Refused), tally.Count(bench::Outcome::Error), tally.Sent(),
        tally.Abandoned(), result.slowDropped);
    std::string slow;
    if (options.interval.count() > 0) {
        slow += " each every " + std::to_string(options.interval.count()) + " ms";
    }
    if (options.slowClients > 0) {
        slow += " beside " + std::to_string(options.slowClients) + " slow clients (dropped " +
                std::to_string(result.slowDropped) + " times)";
    }
    std::printf(
        "%zu clients (%s)%s for %.0f s: %.1f replies/s, p50 %.2f ms, p99 %.2f ms; %zu refused, "
        "%zu errors\n",
        options.clients, mix, slow.c_str(), seconds, perSecond, p50, p99,
        tally.Count(bench::Outcome::Refused), tally.Count(bench::Outcome::Error));
    for (const auto& [why, count] : tally.Reasons()) {
        std::cerr << "dataserver_load: " << count << " × " << why << "\n";
    }
    return 0;
}
