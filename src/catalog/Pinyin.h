#pragma once

#include <string_view>

namespace catalog {

// The pinyin syllable of a Chinese character, lower case without tone ("剑" → "jian", ü as
// "v": "绿" → "lv"); empty for anything else. A character with several readings has the one
// ICU's Han-Latin transliterator gives.
std::string_view PinyinOf(char32_t c);

}  // namespace catalog
