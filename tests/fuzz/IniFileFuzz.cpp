// The INI store on arbitrary file bytes: parsing never fails, and a document saved and read
// again reads the same and saves to the same bytes (so every name and value survives), also
// after a key is set from the same bytes, which must land on one line of its own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalog/IniFile.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A name of plain letters and digits, so reading it back needs no profile rules.
std::string NameFrom(std::string_view bytes) {
    std::string name = "n";
    for (char c : bytes) {
        name.push_back(static_cast<char>('a' + static_cast<unsigned char>(c) % 26));
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    catalog::IniFile first = catalog::IniFile::Parse("x.ini", bytes);
    const std::string saved = first.Serialize();
    catalog::IniFile second = catalog::IniFile::Parse("x.ini", saved);
    Require(second.Encoding() == first.Encoding());
    Require(second.Serialize() == saved);

    // A key set from the input: the value may hold anything, line breaks and NULs too.
    const std::string_view rest(bytes);
    auto part = [rest](std::size_t from, std::size_t count) {
        return rest.substr(std::min(from, rest.size()), count);
    };
    const std::string section = NameFrom(part(0, 2));
    const std::string key = NameFrom(part(2, 3));
    const std::string value(part(5, std::string_view::npos));
    first.Set(section, key, value);
    const std::string changed = first.Serialize();
    catalog::IniFile third = catalog::IniFile::Parse("x.ini", changed);
    Require(third.HasKey(section, key));
    Require(third.Serialize() == changed);
    return 0;
}
