#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "catalog/Outcome.h"
#include "platform/Files.h"

namespace catalog {

// File helpers of the catalog layer. Paths are UTF-8 text.

// The path as the standard library wants it (UTF-8 is not the narrow encoding on Windows).
std::filesystem::path NativePath(const std::string& utf8);

// The path as UTF-8 text.
std::string Utf8Path(const std::filesystem::path& path);

bool FileExists(const std::string& path);

// Identifies one version of a file (see platform::FileVersion).
using FileVersion = platform::FileVersion;
FileVersion VersionOf(const std::string& path);

enum class ReadStatus { Ok, Missing, Failed };
// All bytes of a file, and the version they were read from. Missing: there is no such file;
// Failed: it is there but unreadable (`error` says why).
ReadStatus ReadFileBytes(const std::string& path, std::string& bytes, std::string& error,
                         FileVersion* version = nullptr);

// Replaces the file with `bytes` so that it is either the old or the new file, never a mix:
// the bytes go to a temporary file in the same directory, which is flushed to disk and then
// renamed over the file (platform::RenameOver). Missing parent directories are created. A read-only
// file is not replaced. On failure the temporary file is removed and the old file stays as it was.
Outcome WriteFileAtomically(const std::string& path, std::string_view bytes);
// True for the name of the temporary file WriteFileAtomically writes first (the file's name
// + ".~" + process id + "-" + counter + ".tmp"), which a killed process leaves behind.
bool IsSaveTemporaryName(std::string_view fileName);

// Deletes everything below `directory` and keeps the directory itself. Failures are skipped;
// symbolic links are removed, never followed. A missing directory is left alone.
void EmptyDirectory(const std::string& directory);

}  // namespace catalog
