// An installed tool for the install tests: a real program for the system it was built for,
// so a test can start it the way the launcher starts tools. It writes the full path of its
// working directory (UTF-8) into the file "started" there; the file appears only complete.
#include <filesystem>
#include <fstream>
#include <string>

int main() {
    const std::filesystem::path here = std::filesystem::current_path();
    const std::u8string text = here.u8string();
    {
        std::ofstream out(here / "started.part", std::ios::binary);
        out << std::string(text.begin(), text.end()) << '\n';
        if (!out.flush()) {
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(here / "started.part", here / "started", ec);
    return ec ? 1 : 0;
}
