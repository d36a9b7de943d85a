// A program for the tests to start where the product starts one (an installed tool, the
// updater): a real program for the system it was built for. It writes the full path of a
// directory (UTF-8) into the file "started" in that directory: the one its first argument
// names, else its working directory. The file appears only complete.
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const std::filesystem::path here =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::current_path();
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
