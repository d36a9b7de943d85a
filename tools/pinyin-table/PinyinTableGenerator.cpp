// Writes the pinyin table the launcher's search carries: for every character of the CJK
// Unified Ideographs block, the toneless syllable that ICU's Han-Latin transliterator gives
// it. It runs on the build machine only, so the launcher itself never needs ICU.
//
//   pinyin-table OUTPUT.cpp
//
// The output defines the arrays declared in src/catalog/PinyinTable.h. A syllable with ü is
// written with "v", as pinyin keyboards type it; the matcher also accepts "u" there.
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uvernum.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UChar32 kFirst = 0x4E00;
constexpr UChar32 kLast = 0x9FFF;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "pinyin-table: %s\n", what.c_str());
    std::exit(1);
}

// The reading of one character without tone marks, ü as "v"; empty when ICU has none (the
// character comes back untransliterated) or gives anything but one run of letters.
std::string Syllable(icu::Transliterator& toLatin, const icu::Normalizer2& decompose, UChar32 c) {
    icu::UnicodeString text(c);
    toLatin.transliterate(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString parts = decompose.normalize(text, status);
    if (U_FAILURE(status)) {
        Fail("cannot decompose a reading");
    }
    std::string syllable;
    for (int32_t i = 0; i < parts.length(); ++i) {
        const char16_t unit = parts.charAt(i);
        if (unit == 0x0308 && !syllable.empty() && syllable.back() == 'u') {
            syllable.back() = 'v';  // the diaeresis of ü
            continue;
        }
        if (u_getCombiningClass(unit) != 0) {
            continue;  // a tone mark
        }
        if (unit >= 'a' && unit <= 'z') {
            syllable += static_cast<char>(unit);
        } else if (unit >= 'A' && unit <= 'Z') {
            syllable += static_cast<char>(unit - 'A' + 'a');
        } else {
            return {};
        }
    }
    return syllable;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        Fail("usage: pinyin-table OUTPUT.cpp");
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> toLatin(
        icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
    if (U_FAILURE(status)) {
        Fail(std::string("ICU has no Han-Latin transliterator: ") + u_errorName(status));
    }
    const icu::Normalizer2* decompose = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) {
        Fail("ICU has no NFD normaliser");
    }

    std::vector<std::string> readings;
    for (UChar32 c = kFirst; c <= kLast; ++c) {
        readings.push_back(Syllable(*toLatin, *decompose, c));
    }
    // Syllables in alphabetical order, numbered from 1; 0 means "no reading".
    std::map<std::string, unsigned> numbers;
    for (const std::string& s : readings) {
        if (!s.empty()) {
            numbers.emplace(s, 0);
        }
    }
    unsigned next = 1;
    for (auto& [syllable, number] : numbers) {
        number = next++;
    }

    std::ofstream out(argv[1], std::ios::binary);
    out << "// Generated at build time by tools/pinyin-table from the Han-Latin transliterator\n"
           "// of ICU "
        << U_ICU_VERSION << ". Do not edit.\n"
        << "#include \"catalog/PinyinTable.h\"\n\nnamespace catalog::pinyin {\n\n"
        << "const char* const kSyllables[] = {\n    \"\",";
    std::size_t column = 7;
    for (const auto& [syllable, number] : numbers) {
        const std::string item = " \"" + syllable + "\",";
        if (column + item.size() > 96) {
            out << "\n   ";
            column = 3;
        }
        out << item;
        column += item.size();
    }
    out << "\n};\n\nconst std::uint16_t kReadings[kLastHan - kFirstHan + 1] = {\n";
    for (std::size_t i = 0; i < readings.size(); ++i) {
        out << (i % 16 == 0 ? "    " : " ") << (readings[i].empty() ? 0u : numbers.at(readings[i]))
            << (i + 1 == readings.size() ? "" : ",") << (i % 16 == 15 ? "\n" : "");
    }
    out << "\n};\n\n}  // namespace catalog::pinyin\n";
    out.close();
    if (!out) {
        Fail(std::string("cannot write ") + argv[1]);
    }
    return 0;
}
