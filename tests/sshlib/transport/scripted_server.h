// A scripted SSH-2 server living in the test process, for exact byte layouts and hostile
// behaviour: it reads what the client machine writes and feeds it bytes, one protocol step at a
// time, so each test decides what the server says and when. The exchange hash, the signatures
// and the key derivation on this side are computed with OpenSSL; packets are framed with the
// library's own builder and reader (proved against real servers by the interop tests).
#pragma once

#include <openssl/bn.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crypto/bignum.h"
#include "sshlib/transport/kex_init.h"
#include "sshlib/transport/packet_builder.h"
#include "sshlib/transport/packet_reader.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::transport::test {

using Bytes = std::vector<uint8_t>;

struct ServerConfig {
    std::string versionLine = "SSH-2.0-OpenSSH_9.2p1";
    std::array<std::string, kListCount> lists = {"diffie-hellman-group14-sha1",
                                                 "ssh-rsa",
                                                 "aes128-ctr",
                                                 "aes128-ctr",
                                                 "hmac-sha1",
                                                 "hmac-sha1",
                                                 "none",
                                                 "none",
                                                 "",
                                                 ""};
    bool firstKexPacketFollows = false;
    bool omitSecret = false;       // derives keys without K (the old-server quirk)
    bool macKeys16 = false;        // keys HMAC-SHA1 with 16 bytes (the old-server quirk)
    bool compressOutgoing = true;  // false: sends plain payloads even when "zlib" was agreed
    // Strict key exchange as the server sees it: numbering restarts at each new-keys. Set it
    // when the kex list names "kex-strict-s-v00@openssh.com" and the client asks for it too.
    bool strict = false;
};

// Ways to break the key exchange on purpose.
struct Tamper {
    bool badSignature = false;
    bool badHostKeyBlob = false;
    std::optional<crypto::BigNum> f;                                 // instead of g^y mod p
    std::optional<std::pair<crypto::BigNum, crypto::BigNum>> group;  // group exchange p, g
    bool groupWithoutGenerator = false;
    bool otherHostKey = false;          // sign with the second test key of the same kind
    bool weakRsaKey = false;            // an RSA host key of 512 bits
    std::optional<Bytes> serverPublic;  // elliptic-curve exchanges: Q_S sent instead of ours
    // Sends these payloads (unencrypted, the keys not yet changed) right after the reply.
    std::vector<Bytes> afterReply;
};

class ScriptedServer {
public:
    ScriptedServer(Transport& client, ServerConfig config = {});
    ~ScriptedServer();

    // --- raw bytes ---
    // Moves what the client has written into this server's input.
    void Collect();
    Bytes& Input() { return input_; }
    // Gives bytes to the client, `chunk` bytes per Feed call (0: all in one call).
    void FeedClient(const Bytes& bytes);
    void SetFeedChunk(size_t chunk) { chunk_ = chunk; }

    // --- packets ---
    // The next complete packet the client sent (payload from the message number on).
    std::optional<Bytes> NextPacket();
    // The same, passing over ignore messages.
    std::optional<Bytes> NextProtocolPacket();
    // Every complete packet the client sent, in order.
    std::vector<Bytes> AllPackets();
    void Send(const Bytes& payload);
    // The payload framed with the current server keys, not yet given to the client.
    Bytes Frame(const Bytes& payload);

    // --- protocol steps ---
    void SendVersion();
    // The client's identification line without its line ending ("" when none is there).
    std::string ReadVersion();
    // Reads the client's key-exchange-init; false when the next packet is not one. The client
    // sends its first one only after this server's (or after waiting for it in vain).
    bool ReadKexInit();
    void SendKexInit();
    // Runs Diffie-Hellman up to sending the reply (tampered as asked); false when the client
    // did not send what it should.
    bool RunDh(const Tamper& tamper = {});
    void SendNewKeys();
    bool ReadNewKeys();
    // The identification lines and both key-exchange-inits (this server's first); false when
    // the client did not answer with its own.
    bool ExchangeInits();
    // The whole exchange without tampering, from the version lines on; true when the client's
    // transport is open afterwards.
    bool Handshake();
    // A re-key started by this server (our key-exchange-init first).
    bool Rekey(const Tamper& tamper = {});
    // A re-key the client started (its key-exchange-init is read first).
    bool AnswerRekey();

    // --- what was negotiated and seen ---
    const std::string& ChosenKex() const { return chosen_[kListKex]; }
    const std::string& Chosen(int list) const { return chosen_[list]; }
    const Bytes& ClientKexInit() const { return clientInit_; }
    const Bytes& ExchangeHash() const { return exchangeHash_; }
    const Bytes& SessionId() const { return sessionId_; }
    // The group-exchange request's three numbers (0 for a fixed group).
    std::array<uint32_t, 3> GroupRequest() const { return groupRequest_; }
    // Bits of the client's private exponent cannot be seen; its e can.
    const crypto::BigNum& ClientE() const { return clientE_; }
    Transport& Client() { return client_; }
    // The sequence number of the client packet read last.
    uint32_t LastSequence() const { return lastSequence_; }
    PacketBuilder& Builder() { return builder_; }

private:
    bool RunEcdh(const Tamper& tamper);
    void InstallKeys(bool outgoing);
    Bytes DeriveKey(char letter, size_t length) const;
    Bytes HostKeyBlob(bool other) const;
    Bytes Sign(const Bytes& data, bool other) const;
    Bytes HashData(const Bytes& data) const;
    std::string Pick(int list) const;
    void Choose();

    Transport& client_;
    ServerConfig config_;
    PacketReader reader_;
    PacketBuilder builder_;
    Bytes input_;
    size_t chunk_ = 0;
    uint32_t lastSequence_ = 0;
    bool weakRsa_ = false;  // the exchange under way uses the 512-bit RSA key

    Bytes clientInit_, serverInit_;
    std::string clientLine_;
    std::array<std::string, kListCount> chosen_;
    std::array<std::string, kListCount> clientLists_;
    std::array<uint32_t, 3> groupRequest_ = {0, 0, 0};
    crypto::BigNum clientE_;
    Bytes secret_;  // mpint encoding of K
    Bytes exchangeHash_, sessionId_;
};

}  // namespace tessan::transport::test
