#include <iconv.h>

#include <cerrno>

#include "platform/CodePage.h"
#include "platform/Utf8.h"

namespace platform {
namespace {

// Owns one iconv descriptor.
class IconvHandle {
  public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) {
            iconv_close(cd_);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

// Runs iconv over the whole input; on an unconvertible or invalid sequence it emits the
// substitute and skips one input unit: a whole UTF-8 character, or one byte (an invalid
// UTF-8 byte, or a byte of another encoding).
bool Convert(std::string_view in, const char* to, const char* from, std::string_view substitute,
             bool inputIsUtf8, std::string& out) {
    IconvHandle cd(to, from);
    if (!cd.valid()) {
        return false;
    }
    out.clear();
    out.reserve(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ or EINVAL: substitute and skip the offending unit.
        size_t skip = inputIsUtf8 ? DecodeUtf8Char(std::string_view(src, srcLeft)).length : 1;
        src += skip;
        srcLeft -= skip;
        out.append(substitute);
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    return true;
}

std::string Substitute(const std::string& encoding) {
    if (encoding.rfind("UTF-16", 0) == 0 || encoding.rfind("UCS-2", 0) == 0) {
        return encoding.find("BE") != std::string::npos ? std::string("\0?", 2)
                                                        : std::string("?\0", 2);
    }
    return "?";
}

}  // namespace

std::string SystemAnsiCodePage() {
    return "CP936";
}

bool ConvertFromUtf8(std::string_view utf8, const std::string& encoding, std::string& out) {
    return Convert(utf8, encoding.c_str(), "UTF-8", Substitute(encoding), true, out);
}

bool ConvertToUtf8(std::string_view bytes, const std::string& encoding, std::string& out) {
    return Convert(bytes, "UTF-8", encoding.c_str(), "\xEF\xBF\xBD", false, out);
}

}  // namespace platform
