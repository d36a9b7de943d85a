#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Store.h"
#include "TestDatabase.h"

// A store (on `db` or what it stands for: TestDatabase.h) that counts the catalog reads, can be
// told to fail storing reports, and lets a test hold the catalog generation where it wants it.
class ObservedStore : public dataserver::Store {
  public:
    explicit ObservedStore(const std::string& db)
        : inner_(dataserver::OpenStore(TestDatabase(db))), store_(*inner_) {}

    dataserver::Store& Inner() { return store_; }

    std::atomic<int> catalogReads{0};
    std::atomic<uint64_t> generation{1};
    std::atomic<bool> failReports{false};
    // Called before each batch of reports is stored (or fails).
    std::function<void()> beforeReports;

    dataserver::CatalogChanges ChangesAfter(uint32_t stamp) override {
        ++catalogReads;
        return store_.ChangesAfter(stamp);
    }
    dataserver::Ranking CurrentRanking() override { return store_.CurrentRanking(); }
    dataserver::VersionData CurrentVersion() override { return store_.CurrentVersion(); }
    uint64_t CatalogGeneration() override { return generation; }
    void StoreReports(const std::vector<dataserver::Report>& reports) override {
        if (beforeReports) {
            beforeReports();
        }
        if (failReports) {
            throw dataserver::StoreError("the disk is full");
        }
        store_.StoreReports(reports);
    }
    uint32_t Publish(const dataserver::CatalogEdit& edit) override { return store_.Publish(edit); }
    uint32_t NewestStamp() override { return store_.NewestStamp(); }
    std::vector<dataserver::GameRecord> Games() override { return store_.Games(); }
    std::vector<dataserver::ToolRecord> Tools() override { return store_.Tools(); }
    std::vector<dataserver::RemovalRecord> Removals() override { return store_.Removals(); }
    dataserver::UsageSummary Usage(int days) override { return store_.Usage(days); }
    std::vector<dataserver::Report> RecentReports(std::size_t limit) override {
        return store_.RecentReports(limit);
    }

  private:
    std::unique_ptr<dataserver::Store> inner_;
    dataserver::Store& store_;
};
