#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "catalog/ToolRecord.h"
#include "install/HttpDownload.h"
#include "install/TrustPolicy.h"
#include "job/Job.h"

namespace install {

// The figures a download window shows; the job's progress value, copied at each report.
struct DownloadCounters {
    enum class Phase { Waiting, Downloading, Installing, Starting, Done };

    std::uint32_t perMille = 0;    // received x 1000 / total, at most 1000; 0 while unknown
    std::uint32_t totalKB = 0;     // total bytes / 1024; 0 while unknown
    std::uint32_t receivedKB = 0;  // received bytes / 1024
    // KB fetched by this download / whole seconds elapsed; 0 in the first second and once the
    // transfer has stopped
    std::uint32_t speedKBps = 0;
    int retries = 0;  // broken transfers taken up again so far
    Phase phase = Phase::Waiting;
};

// The events of a download-and-install, in this order: ToolInstalled (only when the archive
// was extracted completely), ProgramStart (only after ToolInstalled, when the program is to
// be started).
struct ToolInstalled {  // the catalogs should record the tool installed (MarkInstalled)
    catalog::ToolRecord tool;
};
struct ProgramStart {  // false: the front end says "程序无法运行，请检查文件是否完整"
    bool started = false;
};

// Downloads a tool's archive to ToolDownload/<id>.zip below the program directory, checks its
// publisher signature (TrustPolicy) before anything of it is extracted, extracts it into
// LocalGameTool/<id>, removes the archive, reports the tool as installed and starts
// its program.
//
// The download is resumable: while it arrives the archive is ToolDownload/<id>.zip.part,
// which a failed or cancelled job leaves behind and the next job for the tool takes up with a
// range request. An archive that turns out damaged or too large is removed; when it was pieced
// together with such a leftover, it is downloaded whole once more before the job gives up.
//
// Progress is a DownloadCounters value at every received chunk and at every change of phase;
// the last one before the end names the phase a failure happened in (Downloading or
// Installing), or Done. The result is ok when the tool was installed, whether or not its
// program then started; otherwise it is the failure: Network (the download failed), BadData
// (a bad address while downloading; a damaged archive while installing), Untrusted (the
// archive has no valid signature; it is removed and nothing was extracted), Refused (an
// archive entry that may not be installed), WriteFailed (a folder or file below the program
// directory could not be written; the result names it), or Cancelled. A cancel stops the work
// between received chunks or between archive entries; the partial archive stays for the next
// job, but nothing of a failed or cancelled extraction stays in the install directory.
class DownloadInstallJob : public job::Job {
  public:
    // `programDir` ends with a separator.
    DownloadInstallJob(std::string programDir, catalog::ToolRecord tool);

    // Settings; change them before Start.
    void SetStartProgram(bool start) { startProgram_ = start; }
    void SetStallTimeout(std::chrono::seconds stall) { stall_ = stall; }
    void SetRetries(int retries) { retries_ = retries; }
    void SetRetryPause(std::chrono::milliseconds pause) { retryPause_ = pause; }
    // Default: TrustPolicy::ForProgram of the program directory, read when the job runs.
    void SetTrustPolicy(TrustPolicy trust) { trust_ = std::move(trust); }
    // What the download and the extraction leave free on the disk (kDiskReserve): an archive
    // larger than the rest of the free room is refused as soon as its size is known, and one
    // without a size is cut off there, so an endless answer never fills the disk.
    void SetDiskReserve(std::uint64_t bytes) { diskReserve_ = bytes; }

    // "正在下载：   " followed by the tool's title.
    const std::string& TitleLine() const { return titleLine_; }
    const catalog::ToolRecord& Tool() const { return tool_; }
    std::string ArchivePath() const;
    std::string InstallDirectory() const;

  private:
    job::Result Run() override;
    DownloadResult Download();
    job::Result CheckSignature();
    void EnterPhase(DownloadCounters::Phase phase);

    const std::string programDir_;
    const catalog::ToolRecord tool_;
    const std::string titleLine_;
    bool startProgram_ = true;
    std::chrono::seconds stall_{30};
    int retries_ = 2;
    std::chrono::milliseconds retryPause_{1000};
    std::optional<TrustPolicy> trust_;
    std::uint64_t diskReserve_;
    DownloadCounters counters_;  // the job's thread only
};

}  // namespace install
