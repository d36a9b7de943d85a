#include "catalog/SearchKey.h"

#include <bit>
#include <cstdint>

#include "catalog/Pinyin.h"

namespace catalog {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// A query of this many characters or more is matched as plain text: the matcher keeps the
// query positions it has reached in one 64-bit word. Only a pasted text is that long.
constexpr std::size_t kLongQuery = 64;

// Letters compare without case, and the full-width forms a Chinese input method types
// ("Ａ", "１", the ideographic space) compare as the ASCII characters they stand for.
char32_t Fold(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) {
        c -= 0xFF01 - 0x21;
    } else if (c == 0x3000) {
        c = U' ';
    }
    if (c >= U'A' && c <= U'Z') {
        c += U'a' - U'A';
    }
    return c;
}

// The folded characters of UTF-8 text; a malformed sequence counts as one U+FFFD.
std::u32string Decode(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x06 ? 2
                                   : (lead >> 4) == 0x0E ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        out.push_back(valid ? Fold(c) : kReplacement);
        i += valid ? length : 1;
    }
    return out;
}

bool SameLetter(char syllableLetter, char32_t typed) {
    return static_cast<char32_t>(syllableLetter) == typed ||
           (syllableLetter == 'v' && typed == U'u');
}

}  // namespace

SearchKey::SearchKey(std::string_view utf8Title) : text_(Decode(utf8Title)) {
    pinyin_.reserve(text_.size());
    for (char32_t c : text_) {
        pinyin_.push_back(PinyinOf(c));
    }
}

std::u32string SearchKey::Query(std::string_view utf8Typed) {
    std::u32string query = Decode(utf8Typed);
    const std::size_t first = query.find_first_not_of(U' ');
    if (first == std::u32string::npos) {
        return {};
    }
    return query.substr(first, query.find_last_not_of(U' ') - first + 1);
}

bool SearchKey::Matches(std::u32string_view query) const {
    if (query.empty()) {
        return true;
    }
    if (query.size() >= kLongQuery) {
        return std::u32string_view(text_).find(query) != std::u32string_view::npos;
    }
    // Bit p of `reached` is set when the title's characters so far can end a match of the
    // query's first p characters; every character may also start a new match (bit 0).
    const auto bit = [](std::size_t p) { return uint64_t{1} << p; };
    const uint64_t done = bit(query.size());
    uint64_t spaces = 0;
    for (std::size_t p = 0; p < query.size(); ++p) {
        if (query[p] == U' ') {
            spaces |= bit(p);
        }
    }
    uint64_t reached = 0;
    for (std::size_t k = 0; k < text_.size(); ++k) {
        reached |= bit(0);
        // A space in the query may be passed over between two of the title's characters.
        for (uint64_t more; (more = ((reached & spaces) << 1) & ~reached) != 0;) {
            reached |= more;
        }
        uint64_t next = 0;
        for (uint64_t rest = reached & (done - 1); rest != 0; rest &= rest - 1) {
            const auto p = static_cast<std::size_t>(std::countr_zero(rest));
            if (query[p] == text_[k]) {
                next |= bit(p + 1);
            }
            const std::string_view syllable = pinyin_[k];
            for (std::size_t i = 0; i < syllable.size() && p + i < query.size() &&
                                    SameLetter(syllable[i], query[p + i]);
                 ++i) {
                next |= bit(p + i + 1);
            }
        }
        if ((next & done) != 0) {
            return true;
        }
        reached = next;
    }
    return false;
}

}  // namespace catalog
