#include "ConsoleSessions.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace dataserver {

namespace {

// Sessions are looked up by a hash of their id: the map's comparisons then take time that
// depends on the hash, which tells a guesser nothing about the ids it is near.
std::string Key(const std::string& id) {
    std::array<unsigned char, crypto_generichash_BYTES> hash;
    crypto_generichash(hash.data(), hash.size(), reinterpret_cast<const unsigned char*>(id.data()),
                       id.size(), nullptr, 0);
    return std::string(hash.begin(), hash.end());
}

}  // namespace

ConsoleSessions::ConsoleSessions(Clock::duration lifetime, std::size_t capacity)
    : lifetime_(lifetime), capacity_(std::max<std::size_t>(capacity, 1)) {
    if (sodium_init() < 0) {
        throw std::runtime_error("the random number source cannot be initialised");
    }
}

std::string ConsoleSessions::Open(Clock::time_point now) {
    // libsodium's generator reads the system's CSPRNG; std::random_device gives no such
    // promise on every platform.
    std::array<unsigned char, 32> bytes;
    randombytes_buf(bytes.data(), bytes.size());
    std::array<char, 65> hex;
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    std::string id(hex.data());

    std::lock_guard lock(mutex_);
    std::erase_if(expiry_, [now](const auto& entry) { return entry.second <= now; });
    if (expiry_.size() >= capacity_) {
        expiry_.erase(
            std::min_element(expiry_.begin(), expiry_.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; }));
    }
    expiry_[Key(id)] = now + lifetime_;
    return id;
}

bool ConsoleSessions::Valid(const std::string& id, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    auto found = expiry_.find(Key(id));
    if (found == expiry_.end()) {
        return false;
    }
    if (found->second <= now) {
        expiry_.erase(found);
        return false;
    }
    return true;
}

void ConsoleSessions::Close(const std::string& id) {
    std::lock_guard lock(mutex_);
    expiry_.erase(Key(id));
}

}  // namespace dataserver
