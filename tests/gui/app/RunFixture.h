#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "ProgramFixture.h"
#include "app/JobRunner.h"
#include "app/MainWindow.h"
#include "app/RunHandler.h"
#include "catalog/IniFile.h"
#include "grid/GridView.h"
#include "grid/ItemTile.h"
#include "platform/Shell.h"

// The main window over a fixture program directory, without a data server, with what a run
// starts observed: reports, browser addresses and programs land in one list of events, in
// the order they happened ("report <id>", "url <address>", "start <program> in <folder>",
// with " hidden" for a hidden start).
class RunFixture : public testing::Test {
  protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path().string()));
        platform::SetUrlOpener([this](const std::string& url) {
            events_.push_back("url " + url);
            return true;
        });
    }
    void TearDown() override {
        window_.reset();
        platform::SetUrlOpener({});
    }

    app::MainWindow& Open() {
        app::DeskOptions options = app::DeskOptions::For(dir_.dir());
        options.startServerWorker = false;
        // As in the program, the jobs belong to the application and outlive the window.
        options.jobs = &jobs_;
        window_ = std::make_unique<app::MainWindow>(options);
        window_->Start();
        window_->show();
        window_->Runner().SetProgramStarter(
            [this](const std::string& program, const std::string& folder, bool hidden) {
                events_.push_back("start " + program + " in " + folder + (hidden ? " hidden" : ""));
                return programsStart_;
            });
        window_->Runner().SetReportSender([this](const catalog::ToolRecord& tool) {
            events_.push_back("report " + std::to_string(tool.id));
        });
        return *window_;
    }

    // The tile of item `id` in the tab of `kind`; for the online games inside game `gameId`.
    grid::ItemTile* Tile(catalog::ViewKind kind, uint32_t id, uint32_t gameId = 0) {
        grid::GridView* view = window_->View(kind);
        switch (kind) {
            case catalog::ViewKind::OnlineGames:
                window_->ShowOnlineTab();
                view->EnterGame(gameId);
                break;
            case catalog::ViewKind::My:
                window_->ShowMyTab();
                break;
            case catalog::ViewKind::GeneralTools:
                window_->ShowToolsTab();
                break;
        }
        for (unsigned page = 1; page <= view->PageCount(); ++page) {
            view->GoToPage(page);
            for (grid::ItemTile* tile : view->VisibleTiles()) {
                if (tile->ItemId() == id) {
                    return tile;
                }
            }
        }
        ADD_FAILURE() << "no tile " << id;
        return nullptr;
    }

    void Run(catalog::ViewKind kind, uint32_t id, uint32_t gameId = 0) {
        grid::ItemTile* tile = Tile(kind, id, gameId);
        ASSERT_NE(tile, nullptr);
        tile->RunCommand(grid::TileCommand::Run);
        QCoreApplication::processEvents();
    }

    std::string Setting(const std::string& file, const std::string& section,
                        const std::string& key) const {
        return catalog::IniFile::Load(dir_ / file).GetString(section, key, "<missing>", 400);
    }

    // Adds `lines` (sections and keys) to the end of a fixture file.
    void Append(const std::string& file, const std::string& lines) {
        dir_.Write(file, dir_.Read(file) + lines);
    }

    std::vector<std::string> UsedIds() const {
        std::vector<std::string> ids;
        for (const catalog::ToolRecord& tool : window_->Catalog().Used()) {
            ids.push_back(std::to_string(tool.id));
        }
        return ids;
    }

    TempDir config_;
    ProgramFixture dir_;
    app::JobRunner jobs_;
    std::unique_ptr<app::MainWindow> window_;
    std::vector<std::string> events_;
    bool programsStart_ = true;
};
