#include "sshlib/connection/ssh1_login.h"

#include <algorithm>
#include <array>

#include "crypto/fingerprint.h"
#include "crypto/md5.h"
#include "crypto/rsa.h"
#include "crypto/secure_memory.h"
#include "sshlib/connection/user_auth.h"
#include "sshlib/transport/quirks.h"
#include "sshlib/transport/ssh1_constants.h"

namespace tessan::connection {

namespace ssh1 = transport::ssh1;
using transport::Ssh1IncomingPacket;
using transport::Ssh1OutgoingPacket;

namespace {

constexpr size_t kSessionKeyLength = 32;
constexpr size_t kCookieLength = 8;
constexpr size_t kPaddedPasswordLength = 64;

struct ServerKey {
    uint32_t bits = 0;
    crypto::RsaPublicKey key;
};

bool ReadKey(Ssh1IncomingPacket& packet, ServerKey& out) {
    return packet.ReadUint32(out.bits) && packet.ReadBigNum(out.key.e) &&
           packet.ReadBigNum(out.key.n);
}

// A key the session key can be sent under: a modulus, an exponent, and no more bits announced
// than the modulus has bytes for.
bool Usable(const ServerKey& k) {
    return !k.key.n.IsZero() && !k.key.e.IsZero() && k.bits <= 8 * k.key.ByteLength();
}

std::vector<uint8_t> NonZeroRandom(size_t length, const Ssh1Random& random) {
    std::vector<uint8_t> bytes(length);
    random(bytes.data(), bytes.size());
    for (uint8_t& byte : bytes) {
        while (byte == 0)
            random(&byte, 1);
    }
    return bytes;
}

Ssh1OutgoingPacket PasswordMessage(std::span<const uint8_t> bytes) {
    Ssh1OutgoingPacket message(ssh1::kCmsgAuthPassword, 4 + bytes.size());
    message.AddString(bytes);
    return message;
}

}  // namespace

std::vector<Ssh1OutgoingPacket> PasswordMessages(std::string_view password, uint32_t quirks,
                                                 const Ssh1Random& random) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(password.data());
    const size_t length = password.size();
    std::vector<Ssh1OutgoingPacket> messages;
    if (quirks & transport::kQuirkSsh1PlainPassword) {
        messages.push_back(PasswordMessage({bytes, length}));
        return messages;
    }
    if (quirks & transport::kQuirkSsh1ChokesOnIgnore) {
        if (length >= kPaddedPasswordLength) {
            messages.push_back(PasswordMessage({bytes, length}));
            return messages;
        }
        std::array<uint8_t, kPaddedPasswordLength> padded{};
        std::copy_n(bytes, length, padded.begin());
        random(padded.data() + length + 1, padded.size() - length - 1);
        messages.push_back(PasswordMessage(padded));
        SecureWipe(padded.data(), padded.size());
        return messages;
    }
    const size_t first = length < 16 ? 0 : length & ~size_t{7};
    const size_t last = length < 16 ? 15 : first + 7;
    for (size_t n = first; n <= last; ++n) {
        if (n == length) {
            messages.push_back(PasswordMessage({bytes, length}));
        } else {
            Ssh1OutgoingPacket ignore(ssh1::kMsgIgnore);
            ignore.AddString(NonZeroRandom(n, random));
            messages.push_back(std::move(ignore));
        }
    }
    return messages;
}

Ssh1Login::Ssh1Login(transport::Transport& transport, transport::Ssh1Transport& packets,
                     std::string user, const std::string& password,
                     crypto::CipherPreference ciphers, Ssh1Random random)
    : transport_(transport),
      packets_(packets),
      user_(std::move(user)),
      password_(password),
      ciphers_(ciphers),
      random_(std::move(random)) {}

Ssh1Login::~Ssh1Login() {
    Wipe();
}

void Ssh1Login::Wipe() {
    SecureWipe(password_);
}

Ssh1Login::State Ssh1Login::Step(Ssh1IncomingPacket& packet) {
    const uint8_t type = packet.Type();
    switch (state_) {
        case State::kWaitingForKeys:
            if (type != ssh1::kSmsgPublicKey) break;
            ReceiveKeys(packet);
            return state_;
        case State::kWaitingForKeyReply:
            if (type != ssh1::kSmsgSuccess) break;
            packets_.Send(Ssh1OutgoingPacket(ssh1::kCmsgUser).AddString(user_));
            state_ = State::kWaitingForUserReply;
            return state_;
        case State::kWaitingForUserReply:
            if (type == ssh1::kSmsgFailure) {
                SendPassword();
                return state_;
            }
            if (type != ssh1::kSmsgSuccess) break;
            Wipe();  // no password needed
            state_ = State::kLoggedIn;
            return state_;
        case State::kWaitingForPasswordReply:
            if (type == ssh1::kSmsgFailure) {
                Fail(kErrAuthenticationFailed, "Password authentication failed");
                return state_;
            }
            if (type != ssh1::kSmsgSuccess) break;
            state_ = State::kLoggedIn;
            return state_;
        case State::kLoggedIn:
        case State::kFailed:
            return state_;
    }
    Fail(kErrProtocol, "Unexpected packet type " + std::to_string(type));
    return state_;
}

void Ssh1Login::ReceiveKeys(Ssh1IncomingPacket& packet) {
    std::span<const uint8_t> cookie;
    ServerKey serverKey;
    ServerKey hostKey;
    uint32_t protocolFlags = 0;
    uint32_t cipherMask = 0;
    uint32_t authMask = 0;
    if (!packet.ReadBytes(kCookieLength, cookie) || !ReadKey(packet, serverKey) ||
        !ReadKey(packet, hostKey) || !packet.ReadUint32(protocolFlags) ||
        !packet.ReadUint32(cipherMask) || !packet.ReadUint32(authMask)) {
        return Fail(kErrProtocol, "Malformed public key message");
    }
    if (!Usable(serverKey) || !Usable(hostKey)) {
        return Fail(kErrKeyExchangeFailed, "Unusable server keys");
    }
    // The host key proves who answers by decrypting the session key; a small one proves
    // nothing. The temporary server key is the server's own business.
    if (const std::string weakness = crypto::RsaHostKeyWeakness(hostKey.key); !weakness.empty())
        return Fail(kErrHostKeyNotVerified, weakness);
    const crypto::Ssh1CipherDescriptor* cipher = crypto::ChooseSsh1Cipher(ciphers_, cipherMask);
    if (!cipher) return Fail(kErrKeyExchangeFailed, "No common cipher");
    fingerprint_ = crypto::RsaFingerprint(hostKey.key);
    // Protocol 1 knows only the MD5 form: an expected SHA-256 form never matches here.
    const std::string& expected = transport_.ExpectedHostKey();
    if (!expected.empty() && !crypto::FingerprintMatches(expected, fingerprint_, {})) {
        return Fail(kErrHostKeyMismatch, "Host key does not match the expected key");
    }

    crypto::Md5 md5;
    md5.Update(hostKey.key.n.ToBytes());
    md5.Update(serverKey.key.n.ToBytes());
    md5.Update(cookie);
    const crypto::Md5::Digest sessionId = md5.Finish();

    std::array<uint8_t, kSessionKeyLength> sessionKey;
    random_(sessionKey.data(), sessionKey.size());
    const bool hostSmaller = crypto::BigNum::Compare(hostKey.key.n, serverKey.key.n) < 0;
    const crypto::RsaPublicKey& smaller = hostSmaller ? hostKey.key : serverKey.key;
    const crypto::RsaPublicKey& larger = hostSmaller ? serverKey.key : hostKey.key;
    std::vector<uint8_t> buffer(std::max(larger.ByteLength(), kSessionKeyLength));
    std::copy(sessionKey.begin(), sessionKey.end(), buffer.begin());
    for (size_t i = 0; i < sessionId.size(); ++i)
        buffer[i] ^= sessionId[i];
    const bool encrypted = crypto::Ssh1RsaEncrypt(buffer, kSessionKeyLength, smaller) &&
                           crypto::Ssh1RsaEncrypt(buffer, smaller.ByteLength(), larger);
    if (!encrypted) {
        SecureWipe(sessionKey.data(), sessionKey.size());
        SecureWipe(buffer.data(), buffer.size());
        return Fail(kErrKeyExchangeFailed, "Server keys too small");
    }
    const size_t encryptedLength = larger.ByteLength();
    Ssh1OutgoingPacket message(ssh1::kCmsgSessionKey);
    message.AddByte(static_cast<uint8_t>(cipher->number))
        .AddBytes(cookie)
        .AddBigNumBytes(static_cast<uint16_t>(encryptedLength * 8),
                        std::span(buffer.data(), encryptedLength))
        .AddUint32(ssh1::kProtocolFlagScreenNumber);
    packets_.Send(message);
    packets_.StartEncryption(*cipher, sessionKey.data());
    SecureWipe(sessionKey.data(), sessionKey.size());
    state_ = State::kWaitingForKeyReply;
}

void Ssh1Login::SendPassword() {
    std::vector<Ssh1OutgoingPacket> messages =
        PasswordMessages(password_, transport_.Quirks(), random_);
    for (Ssh1OutgoingPacket& message : messages) {
        packets_.Defer(message);
        message.Wipe();
    }
    packets_.SendDeferred();
    Wipe();
    state_ = State::kWaitingForPasswordReply;
}

void Ssh1Login::Fail(DWORD error, const std::string& text) {
    state_ = State::kFailed;
    Wipe();
    transport_.Disconnect(0, text, false, error);
}

}  // namespace tessan::connection
