#pragma once

#include <string>

#include "catalog/ToolRecord.h"

class QWidget;

namespace ui {
class DownloadDialog;
}

namespace app {

class JobRunner;

// Downloads and installs `tool` (its id, TITLE, URL and EXENAME) into `programDir` (with a
// trailing separator) as a job on `jobs`, followed by a download window over `parent` that is
// shown here. The window's cancel, and the window going away with its parent, cancel the
// job. Returns the window, whose toolInstalled tells when to record the tool installed.
ui::DownloadDialog* DownloadTool(JobRunner& jobs, const std::string& programDir,
                                 const catalog::ToolRecord& tool, QWidget* parent);

}  // namespace app
