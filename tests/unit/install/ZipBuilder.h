#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Builds zip archives byte by byte, so tests can make well-formed archives and exactly the
// damaged or hostile ones they need.
namespace ziptest {

inline constexpr std::uint8_t kHostDos = 0;
inline constexpr std::uint8_t kHostUnix = 3;
inline constexpr std::uint8_t kHostNtfs = 11;

struct Item {
    std::string name;
    std::string data;
    std::uint16_t method = 8;  // 0 stored, 8 deflated
    std::uint8_t host = kHostUnix;
    std::uint32_t external = 0100644u << 16;
    std::uint16_t flags = 0;
    // 2021-03-04 05:06:08
    std::uint16_t dosDate = (41 << 9) | (3 << 5) | 4;
    std::uint16_t dosTime = (5 << 11) | (6 << 5) | 4;
    std::string localExtra;
    std::string centralExtra;
    // Tampering: values written instead of the true ones.
    std::optional<std::uint32_t> crc;               // both headers
    std::optional<std::uint32_t> uncompressedSize;  // both headers
    std::optional<std::string> compressed;          // the stored entry data
    std::optional<std::uint32_t> localSignature;
    std::optional<std::uint16_t> localMethod;
    std::optional<std::uint32_t> localCrc;
    std::optional<std::string> localName;
};

inline Item File(std::string name, std::string data, std::uint16_t method = 8) {
    Item item;
    item.name = std::move(name);
    item.data = std::move(data);
    item.method = method;
    return item;
}

// A file marked executable (0755), as a Unix zip tool stores a program.
inline Item Program(std::string name, std::string data) {
    Item item = File(std::move(name), std::move(data));
    item.external = 0100755u << 16;
    return item;
}

inline Item Dir(std::string name) {
    Item item;
    item.name = std::move(name);
    item.method = 0;
    item.external = (040755u << 16) | 0x10;
    return item;
}

inline Item Symlink(std::string name, std::string target) {
    Item item;
    item.name = std::move(name);
    item.data = std::move(target);
    item.method = 0;
    item.external = 0120777u << 16;
    return item;
}

// Raw deflate (no zlib header), as zip entries carry it.
inline std::string Deflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    out.resize(z.total_out);
    return out;
}

inline std::uint32_t Crc(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// An extended-timestamp extra block with the given times (flags say which are present).
inline std::string UtBlock(std::uint8_t flags, const std::vector<std::int32_t>& times) {
    std::string block = "UT";
    std::uint16_t length = static_cast<std::uint16_t>(1 + 4 * times.size());
    block.push_back(static_cast<char>(length & 0xFF));
    block.push_back(static_cast<char>(length >> 8));
    block.push_back(static_cast<char>(flags));
    for (std::int32_t t : times) {
        auto u = static_cast<std::uint32_t>(t);
        for (int i = 0; i < 4; ++i) {
            block.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
        }
    }
    return block;
}

class Writer {
  public:
    void U16(std::uint32_t v) {
        bytes_.push_back(static_cast<char>(v & 0xFF));
        bytes_.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Raw(const std::string& s) { bytes_ += s; }
    std::size_t Size() const { return bytes_.size(); }
    std::string& Bytes() { return bytes_; }

  private:
    std::string bytes_;
};

inline std::string Build(const std::vector<Item>& items) {
    Writer w;
    std::vector<std::uint32_t> offsets;
    std::vector<std::string> payloads;
    for (const Item& item : items) {
        std::string payload = item.compressed    ? *item.compressed
                              : item.method == 8 ? Deflate(item.data)
                                                 : item.data;
        std::uint32_t crc = item.crc.value_or(Crc(item.data));
        std::uint32_t size =
            item.uncompressedSize.value_or(static_cast<std::uint32_t>(item.data.size()));
        std::string localName = item.localName.value_or(item.name);
        offsets.push_back(static_cast<std::uint32_t>(w.Size()));
        w.U32(item.localSignature.value_or(0x04034b50));
        w.U16(20);
        w.U16(item.flags);
        w.U16(item.localMethod.value_or(item.method));
        w.U16(item.dosTime);
        w.U16(item.dosDate);
        w.U32(item.localCrc.value_or(crc));
        w.U32(static_cast<std::uint32_t>(payload.size()));
        w.U32(size);
        w.U16(static_cast<std::uint32_t>(localName.size()));
        w.U16(static_cast<std::uint32_t>(item.localExtra.size()));
        w.Raw(localName);
        w.Raw(item.localExtra);
        w.Raw(payload);
        payloads.push_back(std::move(payload));
    }
    std::uint32_t centralStart = static_cast<std::uint32_t>(w.Size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        w.U32(0x02014b50);
        w.U16((static_cast<std::uint32_t>(item.host) << 8) | 20);
        w.U16(20);
        w.U16(item.flags);
        w.U16(item.method);
        w.U16(item.dosTime);
        w.U16(item.dosDate);
        w.U32(item.crc.value_or(Crc(item.data)));
        w.U32(static_cast<std::uint32_t>(payloads[i].size()));
        w.U32(item.uncompressedSize.value_or(static_cast<std::uint32_t>(item.data.size())));
        w.U16(static_cast<std::uint32_t>(item.name.size()));
        w.U16(static_cast<std::uint32_t>(item.centralExtra.size()));
        w.U16(0);
        w.U16(0);
        w.U16(0);
        w.U32(item.external);
        w.U32(offsets[i]);
        w.Raw(item.name);
        w.Raw(item.centralExtra);
    }
    std::uint32_t centralSize = static_cast<std::uint32_t>(w.Size()) - centralStart;
    w.U32(0x06054b50);
    w.U16(0);
    w.U16(0);
    w.U16(static_cast<std::uint32_t>(items.size()));
    w.U16(static_cast<std::uint32_t>(items.size()));
    w.U32(centralSize);
    w.U32(centralStart);
    w.U16(0);
    return w.Bytes();
}

}  // namespace ziptest
