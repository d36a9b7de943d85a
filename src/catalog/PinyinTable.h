#pragma once

#include <cstddef>
#include <cstdint>

// The pinyin table the search carries, written at build time by tools/pinyin-table from
// ICU's Han-Latin transliterator (one reading per character, without tones).
namespace catalog::pinyin {

// The CJK Unified Ideographs block, which holds the characters of the catalogs' titles.
inline constexpr char32_t kFirstHan = 0x4E00;
inline constexpr char32_t kLastHan = 0x9FFF;

// Syllables in alphabetical order; entry 0 is empty. ü is written "v".
extern const char* const kSyllables[];
// For each character from kFirstHan on, the number of its syllable, 0 when it has none.
extern const std::uint16_t kReadings[kLastHan - kFirstHan + 1];

}  // namespace catalog::pinyin
