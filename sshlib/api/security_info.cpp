// SshGetSecurityInformationA/W.
#include <cstring>

#include "sshlib/api/client.h"
#include "sshlib/api/text_convert.h"

using namespace tessan;

namespace {

DWORD CipherCode(crypto::CipherFamily family) {
    switch (family) {
        case crypto::CipherFamily::kTripleDes:
            return SECURITY_CIPHER_DES3;
        case crypto::CipherFamily::kBlowfish:
            return SECURITY_CIPHER_BLOWFISH;
        case crypto::CipherFamily::kAes:
            return SECURITY_CIPHER_AES;
        case crypto::CipherFamily::kSingleDes:
            return SECURITY_CIPHER_DES;
        case crypto::CipherFamily::kArcfour:
            return SECURITY_CIPHER_RC4;
        case crypto::CipherFamily::kChaCha20:
            return SECURITY_CIPHER_CHACHA20;
    }
    return SECURITY_CIPHER_UNKNOWN;
}

// The colon-separated digest: the fingerprint text after its second space ("ssh-rsa 2048 ...").
const char* DigestPart(const std::string& fingerprint) {
    size_t first = fingerprint.find(' ');
    size_t second = first == std::string::npos ? first : fingerprint.find(' ', first + 1);
    return second == std::string::npos ? fingerprint.c_str() : fingerprint.c_str() + second + 1;
}

bool KeysEstablished(const connection::SshConnection& session) {
    if (const connection::Ssh1Session* ssh1 = session.Ssh1()) return ssh1->Cipher() != nullptr;
    return session.Transport().CompletedKeyExchanges() > 0;
}

// The host key's fingerprint text ("ssh-rsa <bits> <digest>").
const std::string& Fingerprint(const connection::SshConnection& session) {
    const connection::Ssh1Session* ssh1 = session.Ssh1();
    return ssh1 ? ssh1->Fingerprint() : session.Transport().Fingerprint();
}

// Protocol-1 key bits: triple DES 168, Blowfish 128, single DES 56.
DWORD Ssh1KeyBits(crypto::CipherFamily family) {
    switch (family) {
        case crypto::CipherFamily::kTripleDes:
            return 168;
        case crypto::CipherFamily::kBlowfish:
            return 128;
        case crypto::CipherFamily::kSingleDes:
            return 56;
        default:
            return 0;
    }
}

// Clears the record and sets its size; the client when the record can be filled. `*named`
// tells whether the record is large enough for the algorithm names.
ClientPtr Fill(HCLIENT hClient, DWORD* record, DWORD size, DWORD baseSize, DWORD fullSize,
               bool* named) {
    ClientCall call(hClient);
    if (!call) return nullptr;
    const ClientPtr& client = call.Get();
    if (!record || *record < baseSize) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *named = size >= fullSize;
    std::memset(record, 0, size);
    record[0] = *named ? fullSize : baseSize;
    // The record describes the connection, also after the server has ended it.
    if (!client->session || !KeysEstablished(*client->session)) {
        SshSetLastError(KX_ERROR_NOT_CONNECTED);
        return nullptr;
    }
    return client;
}

template <typename Info>
void FillFields(Info& info, const Client& client) {
    const transport::Transport& t = client.session->Transport();
    info.dwProtocol = t.Protocol() == 2   ? SECURITY_PROTOCOL_SSH2
                      : t.Protocol() == 1 ? SECURITY_PROTOCOL_SSH1
                                          : SECURITY_PROTOCOL_UNKNOWN;
    if (const connection::Ssh1Session* ssh1 = client.session->Ssh1()) {
        info.dwCipher = CipherCode(ssh1->Cipher()->family);
        info.dwCipherStrength = Ssh1KeyBits(ssh1->Cipher()->family);
    } else {
        const crypto::CipherDescriptor* cipher = t.Algorithms().cipher[0];
        info.dwCipher = cipher ? CipherCode(cipher->family) : SECURITY_CIPHER_UNKNOWN;
        info.dwCipherStrength = cipher ? static_cast<DWORD>(cipher->keyBits) : 0;
    }
    info.dwHash = SECURITY_HASH_SHA;
    info.dwHashStrength = 160;
    info.dwKeyExchange = SECURITY_KEYEX_DH;
    info.dwCertStatus = SECURITY_CERTIFICATE_NONE;
}

// The texts of the named fields, in record order: key exchange, host key algorithm, ciphers
// and MACs out and in, SHA-256 fingerprint.
void CollectTexts(Client& client) {
    const transport::Transport& t = client.session->Transport();
    const transport::NegotiatedAlgorithms& a = t.Algorithms();
    auto name = [](const auto* descriptor) {
        return descriptor ? std::string(descriptor->name) : std::string();
    };
    client.securityTexts = {name(a.kex),          name(a.hostKey), name(a.cipher[0]),
                            name(a.cipher[1]),    name(a.mac[0]),  name(a.mac[1]),
                            t.FingerprintSha256()};
}

template <typename Info, typename Text>
void SetNamedFields(Info& info, const std::array<Text, 7>& texts) {
    info.lpszKeyExchange = texts[0].c_str();
    info.lpszHostKeyAlgorithm = texts[1].c_str();
    info.lpszCipherOut = texts[2].c_str();
    info.lpszCipherIn = texts[3].c_str();
    info.lpszMacOut = texts[4].c_str();
    info.lpszMacIn = texts[5].c_str();
    info.lpszFingerprintSha256 = texts[6].c_str();
}

}  // namespace

extern "C" {

TESSAN_API BOOL SSHAPI SshGetSecurityInformationA(HCLIENT hClient, LPSECURITYINFO lpSecurityInfo) {
    DWORD size = lpSecurityInfo ? lpSecurityInfo->dwSize : 0;
    bool named = false;
    ClientPtr client = Fill(hClient, reinterpret_cast<DWORD*>(lpSecurityInfo), size,
                            SECURITYINFO_BASE_SIZE, sizeof(SECURITYINFO), &named);
    if (!client) return FALSE;
    FillFields(*lpSecurityInfo, *client);
    // The copy lives until the next exchange replaces the fingerprint or the handle goes.
    client->fingerprint = Fingerprint(*client->session);
    lpSecurityInfo->lpszFingerprint = DigestPart(client->fingerprint);
    if (named) {
        CollectTexts(*client);
        SetNamedFields(*lpSecurityInfo, client->securityTexts);
    }
    return TRUE;
}

TESSAN_API BOOL SSHAPI SshGetSecurityInformationW(HCLIENT hClient, LPSECURITYINFOW lpSecurityInfo) {
    DWORD size = lpSecurityInfo ? lpSecurityInfo->dwSize : 0;
    bool named = false;
    ClientPtr client = Fill(hClient, reinterpret_cast<DWORD*>(lpSecurityInfo), size,
                            SECURITYINFOW_BASE_SIZE, sizeof(SECURITYINFOW), &named);
    if (!client) return FALSE;
    FillFields(*lpSecurityInfo, *client);
    client->fingerprint = Fingerprint(*client->session);
    client->wideFingerprint = Utf8ToWide(DigestPart(client->fingerprint));
    lpSecurityInfo->lpszFingerprint = client->wideFingerprint.c_str();
    if (named) {
        CollectTexts(*client);
        for (size_t i = 0; i < client->securityTexts.size(); ++i)
            client->wideSecurityTexts[i] = Utf8ToWide(client->securityTexts[i]);
        SetNamedFields(*lpSecurityInfo, client->wideSecurityTexts);
    }
    return TRUE;
}

}  // extern "C"
