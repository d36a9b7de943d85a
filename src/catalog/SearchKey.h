#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace catalog {

// An item's title made ready for the search box. A query matches a title when it matches a
// run of the title's characters one after another, where each character takes
// - itself (letters without regard to case, full-width forms as their ASCII ones), or,
// - for a Chinese character, any non-empty start of its pinyin syllable: its initial, its
//   whole syllable or anything between.
// So "剑影", "jyjh", "jianying", "jiany", "剑yjh" and "jian ying" (a space in the query may
// fall between two characters) all find 剑影江湖, and "Tool" finds "WindTool". A syllable
// with ü takes "v" or "u" there ("lv" and "lu" find 绿).
class SearchKey {
  public:
    explicit SearchKey(std::string_view utf8Title);

    // What the user typed, in the form Matches takes: decoded from UTF-8, folded as titles
    // are, without spaces at either end.
    static std::u32string Query(std::string_view utf8Typed);

    // An empty query matches every title.
    bool Matches(std::u32string_view query) const;

  private:
    std::u32string text_;                   // the folded title
    std::vector<std::string_view> pinyin_;  // each character's syllable, empty when none
};

}  // namespace catalog
