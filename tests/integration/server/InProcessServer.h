#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "CatalogEditJson.h"
#include "DataServer.h"
#include "ObservedStore.h"
#include "TempDir.h"

// ravik-dataserver's services running in the test's own process, on an ObservedStore, so a
// test can add routes, watch the store and make it fail. Everything the server logs is
// kept. Stopped (gracefully) by the destructor.
class InProcessServer {
    // First, so that they outlive the server.
    TempDir data_;
    std::mutex logMutex_;
    std::string log_;

  public:
    explicit InProcessServer(dataserver::DataServerOptions options = {},
                             const std::string& seed = {}) {
        store = std::make_unique<ObservedStore>(data_ / "data.db");
        if (!seed.empty()) {
            EXPECT_NO_THROW(store->Inner().Publish(dataserver::EditFromFile(seed)));
        }
        options.listenPort = 0;
        options.httpPort = 0;
        if (options.www.empty()) {
            data_.Write("www/notes.txt", "some notes");
            options.www = data_.path() / "www";
        }
        server = std::make_unique<dataserver::DataServer>(*store, options,
                                                          [this](const std::string& line) {
                                                              std::lock_guard lock(logMutex_);
                                                              log_ += line + "\n";
                                                          });
    }
    ~InProcessServer() { Stop(); }

    // After adding routes.
    void Start() {
        ASSERT_TRUE(server->Listen()) << server->Error();
        serving_ = std::thread([this] { server->Run(); });
    }
    void Stop() {
        if (serving_.joinable()) {
            server->Stop();
            serving_.join();
        }
    }
    std::string Log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }
    std::string Db() const { return data_ / "data.db"; }
    TempDir& Data() { return data_; }

    std::unique_ptr<ObservedStore> store;
    std::unique_ptr<dataserver::DataServer> server;

  private:
    std::thread serving_;
};
