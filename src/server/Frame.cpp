#include "server/Frame.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "catalog/IniFile.h"
#include "platform/CodePage.h"
#include "platform/LocalTime.h"

namespace server {

std::string BuildFrame(char code, const std::vector<std::string>& fields, bool trailingSeparator,
                       std::size_t extraLength) {
    std::string header{kStartMark, code, kFieldSeparator};
    std::string body;
    for (const auto& field : fields) {
        body += kFieldSeparator;
        body += field;
    }
    if (trailingSeparator) {
        body += kFieldSeparator;
    }
    body += kEndMark;
    std::size_t length = Utf16Length(header) + Utf16Length(body) + 10 + extraLength;
    std::string digits = std::to_string(length);
    if (digits.size() < 10) {
        digits.insert(0, 10 - digits.size(), '0');
    }
    return header + digits + body;
}

ParsedFrame ParseFrame(std::string_view frame, bool trailingSeparator) {
    ParsedFrame parsed;
    if (frame.size() < 4 || frame[0] != kStartMark || frame[2] != kFieldSeparator ||
        frame.back() != kEndMark) {
        parsed.problem = "not a frame";
        return parsed;
    }
    // Between the header and the end mark: the length, then a separator before each field.
    std::vector<std::string> fields =
        SplitFields(frame.substr(3, frame.size() - 4), kFieldSeparator);
    const std::string length = std::move(fields.front());
    fields.erase(fields.begin());
    if (length.size() < 10 || length.size() > 19 ||
        !std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        parsed.problem = "bad length field";
        return parsed;
    }
    if (trailingSeparator) {
        if (fields.empty() || !fields.back().empty()) {
            parsed.problem = "the trailing separator is missing";
            return parsed;
        }
        fields.pop_back();
    }
    const std::size_t counted = std::stoull(length);
    const std::size_t units = Utf16Length(frame);
    if (counted < units) {
        parsed.problem =
            "the length field says " + length + ", the frame has " + std::to_string(units);
        return parsed;
    }
    parsed.code = frame[1];
    parsed.fields = std::move(fields);
    parsed.extraLength = counted - units;
    return parsed;
}

std::string FormatReportTime(const std::tm& local) {
    // Width-padded with spaces that then become zeros, so every part has its fixed width.
    char text[64];
    std::snprintf(text, sizeof text, "%4d-%2d-%2d$%2d:%2d:%2d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string result = text;
    for (char& c : result) {
        if (c == ' ') {
            c = '0';
        } else if (c == '$') {
            c = ' ';
        }
    }
    return result;
}

std::string FormatReportTime() {
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    return FormatReportTime(platform::LocalTime(now));
}

std::string EncodeFrame(std::string_view frame) {
    std::string bytes = platform::Utf8ToAnsi(frame);
    bytes.push_back('\0');
    bytes.push_back('\0');
    return bytes;
}

std::string DecodeReply(std::string_view bytes) {
    auto zero = bytes.find('\0');
    if (zero != std::string_view::npos) {
        bytes = bytes.substr(0, zero);
    }
    return platform::AnsiToUtf8(bytes);
}

uint32_t LeadingNumber(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

std::vector<std::string> SplitFields(std::string_view text, char separator) {
    std::vector<std::string> fields;
    for (;;) {
        auto at = text.find(separator);
        if (at == std::string_view::npos) {
            fields.emplace_back(text);
            return fields;
        }
        fields.emplace_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
}

std::vector<std::string> SplitTextFields(std::string_view reply) {
    std::vector<std::string> fields = SplitFields(reply, kFieldSeparator);
    for (std::string& field : fields) {
        field = catalog::SingleLine(std::move(field));
    }
    return fields;
}

}  // namespace server
