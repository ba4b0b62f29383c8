#include "scripted_server.h"

#include <openssl/core_names.h>
#include <openssl/dsa.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <cstring>
#include <mutex>

#include "crypto/bytes.h"
#include "crypto/cipher.h"
#include "crypto/kex.h"
#include "crypto/mac.h"
#include "crypto/wire.h"
#include "sshlib/transport/compression.h"
#include "sshlib/transport/ssh_constants.h"

namespace tessan::transport::test {
namespace {

crypto::BigNum FromBn(const BIGNUM* bn) {
    Bytes bytes(static_cast<size_t>(BN_num_bytes(bn)));
    BN_bn2bin(bn, bytes.data());
    return crypto::BigNum::FromBytes(bytes);
}

BIGNUM* ToBn(const crypto::BigNum& value) {
    Bytes bytes = value.ToBytes();
    return BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr);
}

void AppendBnMpint(Bytes& out, const BIGNUM* bn) {
    crypto::AppendMpint(out, FromBn(bn));
}

EVP_PKEY* GenerateKey(int type, int curve = 0) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_id(type, nullptr);
    EVP_PKEY_keygen_init(ctx);
    if (curve != 0) EVP_PKEY_CTX_set_ec_paramgen_curve_nid(ctx, curve);
    EVP_PKEY* key = nullptr;
    EVP_PKEY_keygen(ctx, &key);
    EVP_PKEY_CTX_free(ctx);
    return key;
}

// Two RSA, DSA, Ed25519 and P-256 keys, made once per test program.
struct TestKeys {
    RSA* rsa[2];
    RSA* weakRsa;  // 512 bits: too small to trust
    DSA* dsa[2];
    EVP_PKEY* ed25519[2];
    EVP_PKEY* p256[2];
    TestKeys() {
        for (int i = 0; i < 2; ++i) {
            ed25519[i] = GenerateKey(EVP_PKEY_ED25519);
            p256[i] = GenerateKey(EVP_PKEY_EC, NID_X9_62_prime256v1);
        }
        for (RSA*& key : rsa) {
            key = RSA_new();
            BIGNUM* e = BN_new();
            BN_set_word(e, 65537);
            RSA_generate_key_ex(key, 1024, e, nullptr);
            BN_free(e);
        }
        weakRsa = RSA_new();
        BIGNUM* e = BN_new();
        BN_set_word(e, 65537);
        RSA_generate_key_ex(weakRsa, 512, e, nullptr);
        BN_free(e);
        DSA* params = DSA_new();
        DSA_generate_parameters_ex(params, 1024, nullptr, 0, nullptr, nullptr, nullptr);
        for (DSA*& key : dsa) {
            key = DSAparams_dup(params);
            DSA_generate_key(key);
        }
        DSA_free(params);
    }
};

const TestKeys& Keys() {
    static TestKeys* keys = new TestKeys();  // lives until exit
    return *keys;
}

RSA* RsaKey(bool weak, bool other) {
    return weak ? Keys().weakRsa : Keys().rsa[other];
}

void AppendU32(Bytes& out, uint32_t v) {
    crypto::AppendUint32(out, v);
}
void AppendStr(Bytes& out, std::string_view s) {
    crypto::AppendString(out, s);
}
void AppendStr(Bytes& out, const Bytes& s) {
    crypto::AppendString(out, s);
}

std::string FirstCommon(const std::string& client, const std::string& server) {
    size_t start = 0;
    while (start <= client.size()) {
        size_t end = client.find(',', start);
        if (end == std::string::npos) end = client.size();
        std::string name = client.substr(start, end - start);
        if (!name.empty() && NameListContains(server, name)) return name;
        start = end + 1;
    }
    return {};
}

}  // namespace

ScriptedServer::ScriptedServer(Transport& client, ServerConfig config)
    : client_(client), config_(std::move(config)) {
    Keys();
}

ScriptedServer::~ScriptedServer() = default;

void ScriptedServer::Collect() {
    std::span<const uint8_t> pending = client_.PendingOutput();
    input_.insert(input_.end(), pending.begin(), pending.end());
    client_.ConsumeOutput(pending.size());
}

void ScriptedServer::FeedClient(const Bytes& bytes) {
    if (chunk_ == 0) {
        client_.Feed(bytes.data(), bytes.size());
        return;
    }
    for (size_t i = 0; i < bytes.size(); i += chunk_) {
        client_.Feed(bytes.data() + i, std::min(chunk_, bytes.size() - i));
    }
}

std::optional<Bytes> ScriptedServer::NextPacket() {
    Collect();
    size_t consumed = 0;
    PacketReader::Result result = reader_.Feed(input_.data(), input_.size(), consumed);
    input_.erase(input_.begin(), input_.begin() + static_cast<ptrdiff_t>(consumed));
    if (result != PacketReader::Result::kPacket) return std::nullopt;
    lastSequence_ = reader_.Packet().Sequence();
    std::span<const uint8_t> payload = reader_.Packet().Payload();
    return Bytes(payload.begin(), payload.end());
}

std::vector<Bytes> ScriptedServer::AllPackets() {
    std::vector<Bytes> packets;
    while (auto p = NextPacket())
        packets.push_back(*p);
    return packets;
}

Bytes ScriptedServer::Frame(const Bytes& payload) {
    OutgoingPacket packet(payload.at(0));
    packet.AddRaw(std::span<const uint8_t>(payload).subspan(1));
    Bytes out;
    builder_.Build(packet, out);
    return out;
}

void ScriptedServer::Send(const Bytes& payload) {
    FeedClient(Frame(payload));
}

void ScriptedServer::SendVersion() {
    std::string line = config_.versionLine + "\r\n";
    FeedClient(Bytes(line.begin(), line.end()));
}

std::string ScriptedServer::ReadVersion() {
    Collect();
    auto lf = std::find(input_.begin(), input_.end(), '\n');
    if (lf == input_.end()) return {};
    std::string line(input_.begin(), lf);
    input_.erase(input_.begin(), lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    clientLine_ = line;
    return line;
}

std::optional<Bytes> ScriptedServer::NextProtocolPacket() {
    std::optional<Bytes> packet;
    do {
        packet = NextPacket();
    } while (packet && packet->at(0) == kMsgIgnore);
    return packet;
}

bool ScriptedServer::ReadKexInit() {
    std::optional<Bytes> packet = NextProtocolPacket();
    if (!packet || packet->at(0) != kMsgKexInit) return false;
    clientInit_ = *packet;
    std::optional<KexInitMessage> parsed = ParseKexInit(clientInit_);
    if (!parsed) return false;
    for (int i = 0; i < kListCount; ++i)
        clientLists_[i] = std::string(parsed->lists[i]);
    if (!serverInit_.empty()) Choose();
    return true;
}

void ScriptedServer::Choose() {
    for (int i = 0; i < kListCount; ++i)
        chosen_[i] = Pick(i);
}

std::string ScriptedServer::Pick(int list) const {
    return FirstCommon(clientLists_[list], config_.lists[list]);
}

void ScriptedServer::SendKexInit() {
    Bytes payload = {kMsgKexInit};
    for (int i = 0; i < 16; ++i)
        payload.push_back(static_cast<uint8_t>(0xA0 + i));
    for (const std::string& list : config_.lists)
        AppendStr(payload, list);
    payload.push_back(config_.firstKexPacketFollows ? 1 : 0);
    AppendU32(payload, 0);
    serverInit_ = payload;
    if (!clientInit_.empty()) Choose();
    Send(payload);
}

Bytes ScriptedServer::HashData(const Bytes& data) const {
    const crypto::KexDescriptor* kex = crypto::FindKex(chosen_[kListKex]);
    const size_t length = kex ? kex->exchangeHash->digestLength : 20;
    Bytes digest(length);
    if (length == 64) {
        SHA512(data.data(), data.size(), digest.data());
    } else if (length == 32) {
        SHA256(data.data(), data.size(), digest.data());
    } else {
        SHA1(data.data(), data.size(), digest.data());
    }
    return digest;
}

Bytes ScriptedServer::HostKeyBlob(bool other) const {
    Bytes blob;
    const std::string& algorithm = chosen_[kListHostKey];
    if (algorithm == "ssh-ed25519") {
        Bytes key(32);
        size_t length = key.size();
        EVP_PKEY_get_raw_public_key(Keys().ed25519[other], key.data(), &length);
        AppendStr(blob, algorithm);
        AppendStr(blob, key);
    } else if (algorithm == "ecdsa-sha2-nistp256") {
        Bytes point(65);
        size_t length = 0;
        EVP_PKEY_get_octet_string_param(Keys().p256[other], "encoded-pub-key", point.data(),
                                        point.size(), &length);
        AppendStr(blob, algorithm);
        AppendStr(blob, std::string_view("nistp256"));
        AppendStr(blob, point);
    } else if (algorithm == "ssh-dss") {
        const BIGNUM *p, *q, *g, *y;
        DSA_get0_pqg(Keys().dsa[other], &p, &q, &g);
        DSA_get0_key(Keys().dsa[other], &y, nullptr);
        AppendStr(blob, std::string_view("ssh-dss"));
        for (const BIGNUM* n : {p, q, g, y})
            AppendBnMpint(blob, n);
    } else {
        const BIGNUM *n, *e;
        RSA_get0_key(RsaKey(weakRsa_, other), &n, &e, nullptr);
        AppendStr(blob, std::string_view("ssh-rsa"));
        AppendBnMpint(blob, e);
        AppendBnMpint(blob, n);
    }
    return blob;
}

Bytes ScriptedServer::Sign(const Bytes& data, bool other) const {
    uint8_t digest[20];
    SHA1(data.data(), data.size(), digest);
    Bytes blob;
    const std::string& algorithm = chosen_[kListHostKey];
    if (algorithm == "ssh-ed25519" || algorithm == "ecdsa-sha2-nistp256" ||
        algorithm.starts_with("rsa-sha2-")) {
        EVP_PKEY* key = algorithm == "ssh-ed25519"           ? Keys().ed25519[other]
                        : algorithm == "ecdsa-sha2-nistp256" ? Keys().p256[other]
                                                             : nullptr;
        EVP_PKEY* rsaKey = nullptr;
        if (!key) {
            rsaKey = EVP_PKEY_new();
            RSA_up_ref(RsaKey(weakRsa_, other));
            EVP_PKEY_assign_RSA(rsaKey, RsaKey(weakRsa_, other));
            key = rsaKey;
        }
        const EVP_MD* md = algorithm == "ssh-ed25519"    ? nullptr
                           : algorithm == "rsa-sha2-512" ? EVP_sha512()
                                                         : EVP_sha256();
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        EVP_DigestSignInit(ctx, nullptr, md, nullptr, key);
        size_t length = 0;
        EVP_DigestSign(ctx, nullptr, &length, data.data(), data.size());
        Bytes sig(length);
        EVP_DigestSign(ctx, sig.data(), &length, data.data(), data.size());
        sig.resize(length);
        EVP_MD_CTX_free(ctx);
        if (rsaKey) EVP_PKEY_free(rsaKey);
        AppendStr(blob, algorithm);
        if (algorithm == "ecdsa-sha2-nistp256") {
            // DER SEQUENCE { r, s } to string(mpint r || mpint s).
            const uint8_t* der = sig.data();
            ECDSA_SIG* parsed = d2i_ECDSA_SIG(nullptr, &der, static_cast<long>(sig.size()));
            const BIGNUM *r, *s;
            ECDSA_SIG_get0(parsed, &r, &s);
            Bytes inner;
            AppendBnMpint(inner, r);
            AppendBnMpint(inner, s);
            ECDSA_SIG_free(parsed);
            AppendStr(blob, inner);
        } else {
            AppendStr(blob, sig);
        }
        return blob;
    }
    if (algorithm == "ssh-dss") {
        DSA_SIG* sig = DSA_do_sign(digest, 20, Keys().dsa[other]);
        const BIGNUM *r, *s;
        DSA_SIG_get0(sig, &r, &s);
        Bytes raw(40);
        BN_bn2binpad(r, raw.data(), 20);
        BN_bn2binpad(s, raw.data() + 20, 20);
        DSA_SIG_free(sig);
        AppendStr(blob, std::string_view("ssh-dss"));
        AppendStr(blob, raw);
    } else {
        RSA* rsa = RsaKey(weakRsa_, other);
        Bytes sig(static_cast<size_t>(RSA_size(rsa)));
        unsigned length = 0;
        RSA_sign(NID_sha1, digest, 20, sig.data(), &length, rsa);
        sig.resize(length);
        AppendStr(blob, std::string_view("ssh-rsa"));
        AppendStr(blob, sig);
    }
    return blob;
}

bool ScriptedServer::RunEcdh(const Tamper& tamper) {
    std::optional<Bytes> init = NextProtocolPacket();
    if (!init || init->at(0) != kMsgKexEcdhInit) return false;
    IncomingPacket reader(*init, 0);
    std::span<const uint8_t> clientPublic;
    if (!reader.ReadString(clientPublic)) return false;
    EVP_PKEY_CTX* keygen = EVP_PKEY_CTX_new_id(EVP_PKEY_X25519, nullptr);
    EVP_PKEY* ours = nullptr;
    EVP_PKEY_keygen_init(keygen);
    EVP_PKEY_keygen(keygen, &ours);
    EVP_PKEY_CTX_free(keygen);
    Bytes serverPublic(32);
    size_t length = serverPublic.size();
    EVP_PKEY_get_raw_public_key(ours, serverPublic.data(), &length);
    EVP_PKEY* theirs = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, clientPublic.data(),
                                                   clientPublic.size());
    EVP_PKEY_CTX* derive = EVP_PKEY_CTX_new(ours, nullptr);
    EVP_PKEY_derive_init(derive);
    EVP_PKEY_derive_set_peer(derive, theirs);
    Bytes shared(32);
    length = shared.size();
    const bool derived = EVP_PKEY_derive(derive, shared.data(), &length) == 1;
    EVP_PKEY_CTX_free(derive);
    EVP_PKEY_free(theirs);
    EVP_PKEY_free(ours);
    if (!derived) return false;
    if (tamper.serverPublic) serverPublic = *tamper.serverPublic;

    Bytes exchange;
    AppendStr(exchange, clientLine_);
    AppendStr(exchange, config_.versionLine);
    AppendStr(exchange, clientInit_);
    AppendStr(exchange, serverInit_);
    Bytes hostKey = HostKeyBlob(tamper.otherHostKey);
    AppendStr(exchange, hostKey);
    AppendStr(exchange, Bytes(clientPublic.begin(), clientPublic.end()));
    AppendStr(exchange, serverPublic);
    secret_.clear();
    crypto::AppendMpint(secret_, crypto::BigNum::FromBytes(shared));
    exchange.insert(exchange.end(), secret_.begin(), secret_.end());
    exchangeHash_ = HashData(exchange);
    if (sessionId_.empty()) sessionId_ = exchangeHash_;
    Bytes signature = Sign(exchangeHash_, tamper.otherHostKey);
    if (tamper.badSignature) signature[signature.size() - 3] ^= 0x40;
    Bytes reply = {kMsgKexEcdhReply};
    AppendStr(reply, hostKey);
    AppendStr(reply, serverPublic);
    AppendStr(reply, signature);
    Send(reply);
    for (const Bytes& extra : tamper.afterReply)
        Send(extra);
    return true;
}

bool ScriptedServer::RunDh(const Tamper& tamper) {
    weakRsa_ = tamper.weakRsaKey;
    const crypto::KexDescriptor* kex = crypto::FindKex(chosen_[kListKex]);
    if (!kex) return false;
    if (kex->IsEllipticCurve()) return RunEcdh(tamper);
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* p = nullptr;
    BIGNUM* g = nullptr;
    Bytes exchange;
    AppendStr(exchange, clientLine_);
    AppendStr(exchange, config_.versionLine);
    AppendStr(exchange, clientInit_);
    AppendStr(exchange, serverInit_);
    uint8_t initType = kMsgKexDhInit;
    Bytes groupPart;
    if (kex->IsGroupExchange()) {
        std::optional<Bytes> request = NextProtocolPacket();
        if (!request || request->at(0) != kMsgKexGexRequest || request->size() != 13) return false;
        for (int i = 0; i < 3; ++i)
            groupRequest_[i] = crypto::LoadBe32(request->data() + 1 + 4 * i);
        crypto::BigNum gp = tamper.group ? tamper.group->first
                                         : crypto::BigNum::FromBytes(crypto::kKexGroup14Sha1.prime);
        crypto::BigNum gg = tamper.group ? tamper.group->second : crypto::BigNum(2);
        p = ToBn(gp);
        g = ToBn(gg);
        Bytes group = {kMsgKexGexGroup};
        crypto::AppendMpint(group, gp);
        if (!tamper.groupWithoutGenerator) crypto::AppendMpint(group, gg);
        Send(group);
        for (uint32_t v : groupRequest_)
            AppendU32(groupPart, v);
        crypto::AppendMpint(groupPart, gp);
        crypto::AppendMpint(groupPart, gg);
        initType = kMsgKexGexInit;
        if (tamper.groupWithoutGenerator || tamper.group) {
            // The client is expected to give up here; stop if it did.
            Collect();
            if (client_.IsClosed()) {
                BN_free(p);
                BN_free(g);
                BN_CTX_free(ctx);
                return true;
            }
        }
    } else {
        p = ToBn(crypto::BigNum::FromBytes(kex->prime));
        g = ToBn(crypto::BigNum::FromBytes(kex->generator));
    }
    std::optional<Bytes> init = NextProtocolPacket();
    if (!init || init->at(0) != initType) {
        BN_free(p);
        BN_free(g);
        BN_CTX_free(ctx);
        return false;
    }
    IncomingPacket reader(*init, 0);
    reader.ReadMpint(clientE_);
    BIGNUM* e = ToBn(clientE_);
    BIGNUM* y = BN_new();
    BN_rand(y, 256, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY);
    BIGNUM* f = BN_new();
    BN_mod_exp(f, g, y, p, ctx);
    BIGNUM* k = BN_new();
    BN_mod_exp(k, e, y, p, ctx);
    crypto::BigNum fValue = tamper.f ? *tamper.f : FromBn(f);

    Bytes hostKey = HostKeyBlob(tamper.otherHostKey);
    AppendStr(exchange, hostKey);
    exchange.insert(exchange.end(), groupPart.begin(), groupPart.end());
    crypto::AppendMpint(exchange, clientE_);
    crypto::AppendMpint(exchange, fValue);
    secret_.clear();
    AppendBnMpint(secret_, k);
    exchange.insert(exchange.end(), secret_.begin(), secret_.end());
    exchangeHash_ = HashData(exchange);
    if (sessionId_.empty()) sessionId_ = exchangeHash_;

    Bytes signature = Sign(exchangeHash_, tamper.otherHostKey);
    if (tamper.badSignature) signature[signature.size() - 3] ^= 0x40;
    if (tamper.badHostKeyBlob) hostKey.resize(hostKey.size() - 7);
    Bytes reply = {static_cast<uint8_t>(kex->IsGroupExchange() ? kMsgKexGexReply : kMsgKexDhReply)};
    AppendStr(reply, hostKey);
    crypto::AppendMpint(reply, fValue);
    AppendStr(reply, signature);
    Send(reply);
    for (const Bytes& extra : tamper.afterReply)
        Send(extra);
    for (BIGNUM* n : {p, g, e, y, f, k})
        BN_free(n);
    BN_CTX_free(ctx);
    return true;
}

Bytes ScriptedServer::DeriveKey(char letter, size_t length) const {
    Bytes prefix = config_.omitSecret ? Bytes{} : secret_;
    prefix.insert(prefix.end(), exchangeHash_.begin(), exchangeHash_.end());
    Bytes first = prefix;
    first.push_back(static_cast<uint8_t>(letter));
    first.insert(first.end(), sessionId_.begin(), sessionId_.end());
    Bytes material = HashData(first);
    // RFC 4253 section 7.2: K_n = HASH(K || H || K_1 || ... || K_n-1).
    while (material.size() < length) {
        Bytes next = prefix;
        next.insert(next.end(), material.begin(), material.end());
        Bytes block = HashData(next);
        material.insert(material.end(), block.begin(), block.end());
    }
    return material;
}

void ScriptedServer::InstallKeys(bool outgoing) {
    // The server sends with the client's incoming letters (key D, IV B, MAC F).
    int list = outgoing ? kListCipherServerToClient : kListCipherClientToServer;
    const crypto::CipherDescriptor* cipher = crypto::FindCipher(chosen_[list]);
    bool bugCompatible = config_.macKeys16;
    const CompressionDescriptor* compression = FindCompression(chosen_[list + 4]);
    if (cipher->aead) {
        auto aead = cipher->aead->CreateContext();
        aead->SetKey(DeriveKey(outgoing ? 'D' : 'C', 64).data());
        aead->SetIv(DeriveKey(outgoing ? 'B' : 'A', 64).data());
        if (outgoing) {
            builder_.SetAeadKeys(
                std::move(aead), cipher->blockSize, cipher->aead->tagLength,
                config_.compressOutgoing ? compression->CreateCompressor() : nullptr);
            if (config_.strict) builder_.SetNextSequence(0);
        } else {
            reader_.SetAeadKeys(std::move(aead), cipher->blockSize, cipher->aead->tagLength,
                                compression->CreateDecompressor());
            if (config_.strict) reader_.SetNextSequence(0);
        }
        return;
    }
    const crypto::MacDescriptor* mac = crypto::FindMac(chosen_[list + 2], bugCompatible);
    auto cipherContext = cipher->CreateContext();
    cipherContext->SetKey(DeriveKey(outgoing ? 'D' : 'C', 64).data());
    cipherContext->SetIv(DeriveKey(outgoing ? 'B' : 'A', 64).data());
    auto macContext = mac->CreateContext();
    macContext->SetKey(DeriveKey(outgoing ? 'F' : 'E', 64).data());
    if (outgoing) {
        builder_.SetKeys(std::move(cipherContext), cipher->blockSize, cipher->cbc,
                         std::move(macContext), mac->macLength,
                         config_.compressOutgoing ? compression->CreateCompressor() : nullptr,
                         mac->encryptThenMac);
        if (config_.strict) builder_.SetNextSequence(0);
    } else {
        reader_.SetKeys(std::move(cipherContext), cipher->blockSize, std::move(macContext),
                        mac->macLength, compression->CreateDecompressor(), mac->encryptThenMac);
        if (config_.strict) reader_.SetNextSequence(0);
    }
}

void ScriptedServer::SendNewKeys() {
    Send({kMsgNewKeys});
    InstallKeys(true);
}

bool ScriptedServer::ReadNewKeys() {
    std::optional<Bytes> packet = NextProtocolPacket();
    if (!packet || packet->size() != 1 || packet->at(0) != kMsgNewKeys) return false;
    InstallKeys(false);
    return true;
}

bool ScriptedServer::ExchangeInits() {
    SendVersion();
    if (ReadVersion().empty()) return false;
    // Like real servers, this one sends its init first; the client answers it with its own.
    SendKexInit();
    return ReadKexInit();
}

bool ScriptedServer::Handshake() {
    if (!ExchangeInits() || !RunDh() || !ReadNewKeys()) return false;
    SendNewKeys();
    return client_.GetPhase() == Transport::Phase::kOpen;
}

bool ScriptedServer::Rekey(const Tamper& tamper) {
    SendKexInit();
    if (!ReadKexInit() || !RunDh(tamper) || !ReadNewKeys()) return false;
    SendNewKeys();
    return !client_.IsClosed() && client_.Kex().GetState() == KeyExchange::State::kEstablished;
}

bool ScriptedServer::AnswerRekey() {
    if (!ReadKexInit()) return false;
    SendKexInit();
    if (!RunDh() || !ReadNewKeys()) return false;
    SendNewKeys();
    return !client_.IsClosed() && client_.Kex().GetState() == KeyExchange::State::kEstablished;
}

}  // namespace tessan::transport::test
