#pragma once

#include <QString>
#include <functional>

namespace grid {

// Asks the user for a program file with the system's file-open dialog, filtered to
// executables ("可执行文件(*.exe)" on Windows; files the user may execute elsewhere). Returns
// the chosen full path, or an empty text when the user cancelled.
QString PickExecutable();

// Replaces the dialog, for tests; an empty function restores it.
void SetExecutablePicker(std::function<QString()> picker);

}  // namespace grid
