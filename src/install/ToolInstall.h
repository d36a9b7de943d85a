#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <system_error>

#include "job/Result.h"

namespace install {

// Where a tool's archive is downloaded to: program directory + "ToolDownload/<id>.zip". While
// it arrives it is ToolArchivePath + ".part" (HttpDownload::PartialPath).
std::string ToolArchivePath(const std::string& programDir, std::uint32_t toolId);
// Removes the tool's archive and what a broken-off download of it left; the tool is installed
// or uninstalled, and a later download starts from nothing. Missing files are no failure.
void RemoveToolArchive(const std::string& programDir, std::uint32_t toolId);
// Where a tool is extracted to: program directory + "LocalGameTool/<id>" (no trailing
// separator).
std::string ToolInstallDirectory(const std::string& programDir, std::uint32_t toolId);
// The tool's program: install directory + separator + `exeName` (backslashes in `exeName`
// become the native separator). Empty when `exeName` is absolute or has a ".." component,
// which would leave the tool's folder; starting the empty path fails.
std::string ToolProgramPath(const std::string& programDir, std::uint32_t toolId,
                            const std::string& exeName);

// Extracts every entry of the archive below `installDir`, without the first component of
// each name (the archive's top folder); the top folder's own entry is skipped. Stops at the
// first entry that cannot be described or extracted, leaving what was written before. The
// parent of `installDir` is created when missing. `cancel`, when given and set, stops it
// between entries. Failures: NotFound (no archive), WriteFailed (a folder or file could not be
// written; the result names it and the system's error), BadData (not an archive, a damaged
// entry), Refused (an unsafe or encrypted entry), Cancelled.
job::Result InstallArchive(const std::string& archivePath, const std::string& installDir,
                           const std::atomic<bool>* cancel = nullptr);

// Starts the installed program with its own directory as the working directory; false when
// it could not be started.
bool RunInstalledTool(const std::string& programPath);

// True when `path` names an existing directory.
bool IsDirectory(const std::string& path);
// Creates every missing directory along `path`; true when it exists afterwards. Otherwise
// `error`, when given, says why the last level tried could not be made.
bool CreateDirectoryPath(const std::string& path, std::error_code* error = nullptr);

}  // namespace install
