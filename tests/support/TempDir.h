#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes away. Each test works in its own.
class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("ravik-test-" + std::to_string(rd()) + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) {
                break;
            }
        }
    }
    ~TempDir() {
        std::error_code ec;
        // Restore write permission first, so tests of read-only files still clean up.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The directory as a program directory: with a trailing native separator, as the
    // launcher builds it.
    std::string dir() const { return Utf8(PathOf("")); }
    // A path below the directory as UTF-8 text in native form ("a/b" becomes "a\\b" on
    // Windows), so it compares equal to the paths the core builds.
    std::string operator/(const std::string& relative) const { return Utf8(PathOf(relative)); }
    // A relative path given as UTF-8 text, below the directory. The text is taken as UTF-8
    // on every system, as the core's paths are, not in the system's narrow encoding.
    std::filesystem::path PathOf(const std::string& relative) const {
        return (path_ / std::u8string(relative.begin(), relative.end())).make_preferred();
    }

    // Writes `bytes` to the relative path, creating directories on the way.
    void Write(const std::string& relative, const std::string& bytes) const {
        auto file = PathOf(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    // The bytes of the relative path; empty when missing.
    std::string Read(const std::string& relative) const {
        std::ifstream in(PathOf(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    static std::string Utf8(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

    std::filesystem::path path_;
};
