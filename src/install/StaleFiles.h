#pragma once

#include <chrono>
#include <string>

namespace install {

// How long a temporary file must have been left unchanged before it counts as left behind.
// Every writer of such a file changes it far more often (a download gives up after 30 s
// without data, a save takes a moment), so a running copy's files are never taken.
inline constexpr std::chrono::minutes kStaleAge{10};

// Removes what a killed or crashed process left in the program directory (ending with a
// separator) and in its GameTool, GameIcon, ToolIcon, ToolDownload and LocalGameTool
// folders: temporary files of INI saves and of downloads that replace a file when complete
// (icons, the update archive), and extraction staging folders. Only names of these forms are
// touched, never the resumable partial archive ToolDownload/<id>.zip.part, and only when
// nothing in them changed for `age`. Returns how many files and folders were removed.
int RemoveStaleFiles(const std::string& programDir, std::chrono::minutes age = kStaleAge);

}  // namespace install
