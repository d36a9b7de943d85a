#include "catalog/Pinyin.h"

#include "catalog/PinyinTable.h"

namespace catalog {

std::string_view PinyinOf(char32_t c) {
    if (c < pinyin::kFirstHan || c > pinyin::kLastHan) {
        return {};
    }
    return pinyin::kSyllables[pinyin::kReadings[c - pinyin::kFirstHan]];
}

}  // namespace catalog
