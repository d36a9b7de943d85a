#include "install/ArchiveSignature.h"

#include <sodium.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "catalog/FileSystem.h"

namespace install {

namespace {

namespace fs = std::filesystem;

constexpr char kSignatureHeader[] = "ravik-signature 1";
constexpr char kKeyHeader[] = "ravik-signing-key 1";
// Signed ahead of everything else, so a signature of this format can never be taken for one
// made over other data with the same key.
constexpr char kSignedTag[] = "ravik-archive-signature-1";

bool SodiumReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = sodium_init() >= 0; });
    return ready;
}

job::Result NoLibrary() {
    return job::Result::Failed(job::Code::BadData, "the cryptography library cannot start");
}

std::string Hex(const unsigned char* bytes, std::size_t size) {
    std::string hex(size * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), bytes, size);
    hex.pop_back();
    return hex;
}

// Decodes exactly `size` bytes of hex; false for anything else.
bool FromHex(const std::string& hex, unsigned char* out, std::size_t size) {
    std::size_t length = 0;
    const char* end = nullptr;
    return hex.size() == size * 2 &&
           sodium_hex2bin(out, size, hex.data(), hex.size(), nullptr, &length, &end) == 0 &&
           length == size && end == hex.data() + hex.size();
}

// The secret key is wiped from memory however the signing ends.
struct SecretKey {
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> bytes{};
    ~SecretKey() { sodium_memzero(bytes.data(), bytes.size()); }
};

// Feeds the signed data up to the archive's own bytes into `state`.
void StartSignedData(crypto_sign_state& state, std::uint64_t size, const std::string& release) {
    crypto_sign_init(&state);
    crypto_sign_update(&state, reinterpret_cast<const unsigned char*>(kSignedTag),
                       sizeof kSignedTag);
    unsigned char header[12];
    for (int i = 0; i < 8; ++i) {
        header[i] = static_cast<unsigned char>(size >> (8 * i));
    }
    const auto releaseSize = static_cast<std::uint32_t>(release.size());
    for (int i = 0; i < 4; ++i) {
        header[8 + i] = static_cast<unsigned char>(releaseSize >> (8 * i));
    }
    crypto_sign_update(&state, header, sizeof header);
    crypto_sign_update(&state, reinterpret_cast<const unsigned char*>(release.data()),
                       release.size());
}

// Feeds the file's bytes into `state`; NotFound when it cannot be read to its end, or when it
// does not have `size` bytes.
job::Result AddFile(crypto_sign_state& state, const std::string& path, std::uint64_t size) {
    std::ifstream in(catalog::NativePath(path), std::ios::binary);
    if (!in) {
        return job::Result::Failed(job::Code::NotFound, "cannot read " + path);
    }
    std::vector<char> chunk(1 << 16);
    std::uint64_t total = 0;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        crypto_sign_update(&state, reinterpret_cast<const unsigned char*>(chunk.data()), got);
        total += got;
    }
    if (in.bad() || total != size) {
        return job::Result::Failed(job::Code::NotFound, "cannot read all of " + path);
    }
    return job::Result::Done();
}

std::uint64_t FileSize(const std::string& path, std::error_code& ec) {
    return fs::file_size(catalog::NativePath(path), ec);
}

struct SignatureText {
    std::uint64_t size = 0;
    std::string release;
    std::array<unsigned char, crypto_sign_BYTES> signature{};
};

job::ResultOf<SignatureText> ParseSignature(const std::string& text) {
    auto bad = [](const std::string& why) {
        return job::Result::Failed(job::Code::Untrusted, "not a signature: " + why);
    };
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kSignatureHeader) {
        return bad("no header");
    }
    SignatureText parsed;
    bool hasSize = false;
    bool hasSignature = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto space = line.find(' ');
        const std::string name = line.substr(0, space);
        const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
        if (name == "size") {
            char* end = nullptr;
            parsed.size = std::strtoull(value.c_str(), &end, 10);
            hasSize = !value.empty() && *end == '\0' && value.find('-') == std::string::npos;
        } else if (name == "release") {
            parsed.release = value;
        } else if (name == "signature") {
            hasSignature = FromHex(value, parsed.signature.data(), parsed.signature.size());
        }
    }
    if (!hasSize || !hasSignature) {
        return bad(hasSize ? "no signature line" : "no size line");
    }
    return parsed;
}

}  // namespace

job::ResultOf<PublicKey> ParsePublicKey(const std::string& hex) {
    PublicKey key(crypto_sign_PUBLICKEYBYTES);
    if (!FromHex(hex, key.data(), key.size())) {
        return job::Result::Failed(job::Code::BadData, "not a public key: \"" + hex + "\"");
    }
    return key;
}

std::vector<PublicKey> ParsePublicKeys(const std::string& text, std::string* bad) {
    std::vector<PublicKey> keys;
    std::string part;
    auto take = [&] {
        if (part.empty()) {
            return;
        }
        job::ResultOf<PublicKey> key = ParsePublicKey(part);
        if (key.Ok()) {
            keys.push_back(key.Value());
        } else if (bad != nullptr) {
            *bad += (bad->empty() ? "" : " ") + part;
        }
        part.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\n' || c == '\r' || c == '\t') {
            take();
        } else {
            part += c;
        }
    }
    take();
    return keys;
}

std::string PublicKeyHex(const PublicKey& key) {
    return Hex(key.data(), key.size());
}

job::ResultOf<std::string> CreateSigningKey(const std::string& keyFile) {
    if (!SodiumReady()) {
        return NoLibrary();
    }
    std::error_code ec;
    if (fs::exists(catalog::NativePath(keyFile), ec)) {
        return job::Result::Failed(job::Code::WriteFailed,
                                   keyFile + " exists already; a key is never overwritten");
    }
    PublicKey publicKey(crypto_sign_PUBLICKEYBYTES);
    SecretKey secret;
    crypto_sign_keypair(publicKey.data(), secret.bytes.data());
    {
        std::ofstream out(catalog::NativePath(keyFile), std::ios::binary);
        if (!out) {
            return job::Result::CannotWrite("cannot create", keyFile, {});
        }
        // Only the owner may read the key, before a byte of it is written.
        fs::permissions(catalog::NativePath(keyFile),
                        fs::perms::owner_read | fs::perms::owner_write, ec);
        out << kKeyHeader << "\n" << Hex(secret.bytes.data(), secret.bytes.size()) << "\n";
        if (!out.flush()) {
            return job::Result::CannotWrite("cannot write", keyFile, {});
        }
    }
    return PublicKeyHex(publicKey);
}

job::Result SignFile(const std::string& keyFile, const std::string& path,
                     const std::string& release) {
    if (!SodiumReady()) {
        return NoLibrary();
    }
    if (release.find_first_of("\r\n") != std::string::npos) {
        return job::Result::Failed(job::Code::BadData, "a release name is one line");
    }
    SecretKey secret;
    {
        std::ifstream in(catalog::NativePath(keyFile), std::ios::binary);
        std::string header;
        std::string hex;
        std::getline(in, header);
        std::getline(in, hex);
        if (!in || header != kKeyHeader ||
            !FromHex(hex, secret.bytes.data(), secret.bytes.size())) {
            sodium_memzero(hex.data(), hex.size());
            return job::Result::Failed(job::Code::BadData, keyFile + " is not a signing key");
        }
        sodium_memzero(hex.data(), hex.size());
    }
    std::error_code ec;
    const std::uint64_t size = FileSize(path, ec);
    if (ec) {
        return job::Result::Failed(job::Code::NotFound, "cannot read " + path);
    }
    crypto_sign_state state;
    StartSignedData(state, size, release);
    if (job::Result read = AddFile(state, path, size); !read.Ok()) {
        return read;
    }
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    crypto_sign_final_create(&state, signature.data(), nullptr, secret.bytes.data());

    const std::string sigPath = path + kSignatureSuffix;
    std::ofstream out(catalog::NativePath(sigPath), std::ios::binary | std::ios::trunc);
    out << kSignatureHeader << "\nsize " << size << "\nrelease " << release << "\nsignature "
        << Hex(signature.data(), signature.size()) << "\n";
    if (!out.flush()) {
        return job::Result::CannotWrite("cannot write", sigPath, {});
    }
    return job::Result::Done();
}

job::ResultOf<SignedArchive> VerifyFile(const std::string& path, const std::string& signatureText,
                                        const std::vector<PublicKey>& keys) {
    if (!SodiumReady()) {
        return NoLibrary();
    }
    job::ResultOf<SignatureText> parsed = ParseSignature(signatureText);
    if (!parsed.Ok()) {
        return parsed.Status();
    }
    std::error_code ec;
    const std::uint64_t size = FileSize(path, ec);
    if (ec) {
        return job::Result::Failed(job::Code::NotFound, "cannot read " + path);
    }
    if (size != parsed->size) {
        return job::Result::Failed(job::Code::Untrusted,
                                   "the signature is for " + std::to_string(parsed->size) +
                                       " bytes, the archive has " + std::to_string(size));
    }
    crypto_sign_state read;
    StartSignedData(read, size, parsed->release);
    if (job::Result added = AddFile(read, path, size); !added.Ok()) {
        return added;
    }
    // The archive is read once; each key checks its own copy of the hashed state.
    for (const PublicKey& key : keys) {
        crypto_sign_state state = read;
        if (key.size() == crypto_sign_PUBLICKEYBYTES &&
            crypto_sign_final_verify(&state, parsed->signature.data(), key.data()) == 0) {
            return SignedArchive{true, parsed->release, PublicKeyHex(key)};
        }
    }
    return job::Result::Failed(job::Code::Untrusted,
                               keys.empty() ? "no publisher key to check the signature with"
                                            : "the signature was not made by a trusted key");
}

}  // namespace install
