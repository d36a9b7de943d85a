#pragma once

#include <QString>
#include <functional>
#include <string>

namespace grid {

// Asks the user for a program file with the system's file-open dialog, filtered to
// executables ("可执行文件(*.exe)" on Windows; files the user may execute elsewhere). Returns
// the chosen full path, or an empty text when the user cancelled.
QString PickExecutable();

// Replaces the dialog, for tests; an empty function restores it.
void SetExecutablePicker(std::function<QString()> picker);

// The folder part of a program path: everything up to and including its last separator
// (either slash on Windows); empty for a bare file name. Programs start from there.
std::string ProgramFolder(const std::string& programPath);

}  // namespace grid
