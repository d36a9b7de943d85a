// ravikctl install: downloads and installs a general tool or a game's tool as the launcher
// does, records it as installed and starts it.
#include <any>
#include <chrono>
#include <cstdio>
#include <string>

#include "Command.h"
#include "catalog/Catalog.h"
#include "install/DownloadInstallJob.h"
#include "install/ToolInstall.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

// The tool with that id among the general tools and the games' tool lists.
const catalog::ToolRecord* FindAnyTool(const catalog::Catalog& cat, std::uint32_t id) {
    if (auto found = catalog::FindTool(cat.GeneralTools(), id)) {
        return found.record;
    }
    for (const catalog::GameRecord& game : cat.Games()) {
        if (game.tools) {
            if (auto found = catalog::FindTool(*game.tools, id)) {
                return found.record;
            }
        }
    }
    return nullptr;
}

bool IsDownloadable(const catalog::ToolRecord& tool) {
    return catalog::RoleOf(tool.id, tool.type) == catalog::ItemRole::Program &&
           !catalog::IsFixedEntry(tool.id);
}

// The download window's two figure lines, as one line. On a terminal the line is redrawn in
// place; `last` ends it.
void PrintProgress(const std::string& title, const install::DownloadCounters& c, bool terminal,
                   bool last) {
    std::string retries = c.retries > 0 ? "  重试 " + std::to_string(c.retries) : "";
    std::fprintf(stderr,
                 "%s%s  速度： %4u KB/S  已完成 %2u ％  文件大小：%6u KB，已下载 %6u KB%s%s",
                 terminal ? "\r" : "", title.c_str(), c.speedKBps, c.perMille / 10, c.totalKB,
                 c.receivedKB, retries.c_str(), last ? "\n" : "");
    std::fflush(stderr);
}

// Shows the job's figures as they come, on the job's thread; on a terminal at most every
// 300 ms, redrawn in place.
class ProgressLine : public job::Listener {
  public:
    ProgressLine(std::string title, bool terminal)
        : title_(std::move(title)), terminal_(terminal) {}

    void OnProgress(const std::any& progress) override {
        last_ = std::any_cast<const install::DownloadCounters&>(progress);
        const auto now = std::chrono::steady_clock::now();
        if (terminal_ && now - shown_ >= std::chrono::milliseconds(300)) {
            shown_ = now;
            PrintProgress(title_, last_, true, false);
        }
    }
    // The last figures, ending the line.
    void Close() const { PrintProgress(title_, last_, terminal_, true); }

  private:
    std::string title_;
    bool terminal_;
    install::DownloadCounters last_;
    std::chrono::steady_clock::time_point shown_{};
};

int Install(const CommandContext& context) {
    bool start = true;
    std::string idText;
    for (const std::string& arg : context.args) {
        if (arg == "--no-start") {
            start = false;
        } else if (idText.empty()) {
            idText = arg;
        } else {
            return Fail("install wants TOOLID [--no-start]");
        }
    }
    if (idText.empty() || idText.size() > 9 ||
        idText.find_first_not_of("0123456789") != std::string::npos) {
        return Fail("install wants a numeric TOOLID, got \"" + idText + "\"");
    }
    const auto id = static_cast<std::uint32_t>(std::stoul(idText));

    catalog::Catalog cat(context.programDir);
    cat.LoadAll();
    const catalog::ToolRecord* found = FindAnyTool(cat, id);
    if (found == nullptr) {
        return Fail("no tool " + idText + " in the catalogs of " + context.programDir);
    }
    const catalog::ToolRecord tool = *found;
    if (!IsDownloadable(tool) || tool.url.empty()) {
        return Fail("tool " + idText + " has nothing to download");
    }

    // The job runs on this thread, which also owns the catalog.
    install::DownloadInstallJob job(context.programDir, tool);
    job.SetStartProgram(false);
    ProgressLine line(job.TitleLine(), StderrIsTerminal());
    job::Result result = job.Start(&line);
    line.Close();
    if (!result.Ok()) {
        return Fail(result.reason);
    }
    catalog::ItemChange marked = cat.MarkInstalled(tool);
    if (!marked.outcome.ok()) {
        return Fail("installed, but the catalog could not record it: " + marked.outcome.reason);
    }
    if (start && !install::RunInstalledTool(
                     install::ToolProgramPath(context.programDir, id, tool.exeName))) {
        return Fail("程序无法运行，请检查文件是否完整");
    }
    return 0;
}

const RegisterCommand registered(
    "install", "install TOOLID [--no-start]  download, install, record and start a tool", Install);

}  // namespace
