#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/Result.h"
#include "job/ResultOf.h"

namespace install {

// Detached publisher signatures of update and tool archives: Ed25519 (the pre-hashed form of
// RFC 8032, so an archive of any size is read in chunks) over a version tag, the archive's
// size, an optional release text and the archive's bytes. The size and the release are in
// the signed data, so a signature can neither be moved to a cut or extended file nor to
// another release. Keys and signatures are text files:
//
//   public key:  64 hex digits (one line, as `ravikctl sign-keygen` prints it)
//   key file:    "ravik-signing-key 1", then the 64-byte secret key in 128 hex digits
//   FILE.sig:    "ravik-signature 1", "size N", "release TEXT", "signature <128 hex>"

// The signature of an archive at `url` is at `url` + kSignatureSuffix, and a signed file
// FILE has its signature in FILE + kSignatureSuffix.
inline constexpr const char* kSignatureSuffix = ".sig";

// What the user sees when an archive is refused for its signature.
inline constexpr const char* kSignatureRefusedText = "签名无效，已拒绝安装";

// A public key as 32 raw bytes.
using PublicKey = std::vector<unsigned char>;

// Parses one public key in hex; BadData when it is not 64 hex digits.
job::ResultOf<PublicKey> ParsePublicKey(const std::string& hex);
// Parses every public key in `text`, separated by spaces, commas or line breaks; a part that
// is not a key is skipped and named in `bad` (when given).
std::vector<PublicKey> ParsePublicKeys(const std::string& text, std::string* bad = nullptr);
std::string PublicKeyHex(const PublicKey& key);

// Makes a new key pair and writes its secret key to `keyFile`, which must not exist yet
// (readable by its owner only where the system allows). Returns the public key in hex.
job::ResultOf<std::string> CreateSigningKey(const std::string& keyFile);

// Signs the file `path` with the secret key in `keyFile` and writes `path` + ".sig";
// `release` (may be empty) names the release the file holds, such as "2.0".
job::Result SignFile(const std::string& keyFile, const std::string& path,
                     const std::string& release);

// What a valid signature vouches for.
struct SignedArchive {
    bool verified = false;  // false: installed unsigned, as the policy allows
    std::string release;    // the release the publisher signed, empty when none was named
    std::string keyHex;     // the key that made the signature
};

// Checks the file `path` against `signatureText` (the contents of a .sig file) with each of
// `keys`. Untrusted, with the reason, when the text is not a signature, the size differs, or
// no key made it; NotFound when the file cannot be read.
job::ResultOf<SignedArchive> VerifyFile(const std::string& path, const std::string& signatureText,
                                        const std::vector<PublicKey>& keys);

}  // namespace install
