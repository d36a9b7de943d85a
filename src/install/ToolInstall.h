#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
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

// What an extraction leaves free on the disk by default: the system and other programs need
// room too, and a tool that fills the disk to the last byte is of no use.
inline constexpr std::uint64_t kDiskReserve = 64ull << 20;

// The bytes free on the disk that holds `directory`, less `reserve` (0 when there is less);
// no bound when the disk cannot be asked.
std::uint64_t RoomOnDisk(const std::string& directory, std::uint64_t reserve);

// Extracts every entry of the archive into `installDir`, without the first component of
// each name (the archive's top folder); the top folder's own entry is skipped. The archive is
// extracted into a staging folder beside `installDir` first and moved into place only when
// every entry is out, so a failure, a cancel (between entries) or a killed process leaves
// the install directory as it was. A new install directory is the renamed staging folder;
// into an existing one the files are moved, replacing files of the same name and keeping
// all others, and nothing is moved when one of them is read-only or a folder stands where a
// file goes. An archive whose entries add up to more than the room on the disk (less
// `reserve`) is refused before anything is written. The parent of `installDir` is created
// when missing. Failures: NotFound (no archive), WriteFailed (a folder or file could not be
// written, or there is no room; the result names it and the system's error), BadData (not an
// archive, a damaged entry), Refused (an unsafe or encrypted entry), Cancelled.
job::Result InstallArchive(const std::string& archivePath, const std::string& installDir,
                           const std::atomic<bool>* cancel = nullptr,
                           std::uint64_t reserve = kDiskReserve);

// Staging folders are named kStagingPrefix + process id + "-" + counter. One that a killed
// process left is removed at the next start (see RemoveStaleFiles).
inline constexpr std::string_view kStagingPrefix = ".unpack-";
bool IsStagingName(std::string_view name);
// Removes a folder with everything in it, read-only files too; true when it is gone.
bool RemoveFolder(const std::filesystem::path& folder);

// Starts the installed program with its own directory as the working directory; false when
// it could not be started.
bool RunInstalledTool(const std::string& programPath);

// True when `path` names an existing directory.
bool IsDirectory(const std::string& path);
// Creates every missing directory along `path`; true when it exists afterwards. Otherwise
// `error`, when given, says why the last level tried could not be made.
bool CreateDirectoryPath(const std::string& path, std::error_code* error = nullptr);

}  // namespace install
