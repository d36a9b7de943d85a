#pragma once

#include <QProcess>
#include <QStringList>
#include <cstdlib>
#include <string>

#include "TempDir.h"

// A reference data server (ravik-dataserver) on loopback ports of its own, seeded with
// `seedJson`, serving the files written below www/ over HTTP ("{{http}}" in the seed).
class DataServer {
  public:
    explicit DataServer(const std::string& seedJson) {
        files_.Write("seed.json", seedJson);
        files_.Write("www/index.html", "ravik");
        process_.start(QStringLiteral(RAVIK_DATASERVER_PROGRAM),
                       {"--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--www",
                        QString::fromStdString(files_ / "www"), "--db",
                        QString::fromStdString(files_ / "data.db"), "--seed",
                        QString::fromStdString(files_ / "seed.json"), "--port-file",
                        QString::fromStdString(files_ / "ports")});
    }
    ~DataServer() {
        process_.kill();
        process_.waitForFinished(10000);
    }

    void WriteFile(const std::string& relative, const std::string& bytes) const {
        files_.Write("www/" + relative, bytes);
    }

    // The data server's port once it listens; 0 until then.
    int Port() const {
        const std::string ports = files_.Read("ports");
        const auto at = ports.find("tcp ");
        return at == std::string::npos ? 0 : std::atoi(ports.c_str() + at + 4);
    }

    // launcher.ini text pointing at this server.
    std::string LauncherIni() const {
        return "[server]\nhost=127.0.0.1\nport=" + std::to_string(Port()) + "\n";
    }

  private:
    TempDir files_;
    QProcess process_;
};
