#include "crypto/fingerprint.h"

#include <cstdio>

#include "crypto/bytes.h"
#include "crypto/md5.h"
#include "crypto/sha256.h"

namespace tessan::crypto {
namespace {

std::string FormatMd5(std::string_view name, size_t bits, const Md5::Digest& digest) {
    std::string text(name);
    text += ' ';
    text += std::to_string(bits);
    text += ' ';
    for (size_t i = 0; i < digest.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof(hex), "%s%02x", i == 0 ? "" : ":", digest[i]);
        text += hex;
    }
    return text;
}

}  // namespace

std::string PublicKeyFingerprint(std::string_view name, size_t bits,
                                 std::span<const BigNum* const> numbers) {
    Md5 md5;
    uint8_t length[4];
    StoreBe32(length, static_cast<uint32_t>(name.size()));
    md5.Update(length, 4);
    md5.Update(reinterpret_cast<const uint8_t*>(name.data()), name.size());
    for (const BigNum* number : numbers) {
        const size_t bytes = (number->BitCount() + 8) / 8;
        StoreBe32(length, static_cast<uint32_t>(bytes));
        md5.Update(length, 4);
        for (size_t i = bytes; i-- > 0;) {
            const uint8_t byte = number->Byte(i);
            md5.Update(&byte, 1);
        }
    }
    return FormatMd5(name, bits, md5.Finish());
}

std::string Md5BlobFingerprint(std::string_view name, size_t bits, std::span<const uint8_t> blob) {
    Md5 md5;
    md5.Update(blob.data(), blob.size());
    return FormatMd5(name, bits, md5.Finish());
}

std::string Sha256BlobFingerprint(std::span<const uint8_t> blob) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const Sha256::Digest digest = Sha256::Hash(blob);
    std::string text = "SHA256:";
    // Three bytes make four characters; the last two bytes make three and the padding is left out.
    for (size_t i = 0; i < digest.size(); i += 3) {
        const size_t take = digest.size() - i < 3 ? digest.size() - i : 3;
        uint32_t group = 0;
        for (size_t j = 0; j < 3; ++j)
            group = (group << 8) | (j < take ? digest[i + j] : 0);
        for (size_t j = 0; j <= take; ++j)
            text += kAlphabet[(group >> (18 - 6 * j)) & 63];
    }
    return text;
}

namespace {

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The last blank-separated word.
std::string_view LastWord(std::string_view text) {
    const size_t blank = text.find_last_of(" \t");
    return blank == std::string_view::npos ? text : text.substr(blank + 1);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

bool FingerprintMatches(std::string_view expected, std::string_view md5Form,
                        std::string_view sha256Form) {
    expected = Trim(expected);
    if (expected.empty()) return false;
    constexpr std::string_view kSha256 = "SHA256:";
    if (expected.substr(0, kSha256.size()) == kSha256) {
        while (expected.ends_with('='))
            expected.remove_suffix(1);
        return !sha256Form.empty() && expected == sha256Form;
    }
    std::string_view digest = LastWord(expected);
    constexpr std::string_view kMd5 = "MD5:";
    if (EqualIgnoringCase(digest.substr(0, kMd5.size()), kMd5)) digest.remove_prefix(kMd5.size());
    const std::string_view presented = LastWord(md5Form);
    return !digest.empty() && EqualIgnoringCase(digest, presented);
}

}  // namespace tessan::crypto
