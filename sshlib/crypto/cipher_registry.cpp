// The SSH-2 cipher descriptors, their family lists and the offer built from a preference list.
#include <string>

#include "crypto/cipher.h"
#include "crypto/cipher_contexts.h"

namespace tessan::crypto {
namespace {

std::unique_ptr<CipherContext> NewAes256Ctr() {
    return CreateAesCtrContext(32);
}
std::unique_ptr<CipherContext> NewAes256Cbc() {
    return CreateAesCbcContext(32);
}
std::unique_ptr<CipherContext> NewAes192Ctr() {
    return CreateAesCtrContext(24);
}
std::unique_ptr<CipherContext> NewAes192Cbc() {
    return CreateAesCbcContext(24);
}
std::unique_ptr<CipherContext> NewAes128Ctr() {
    return CreateAesCtrContext(16);
}
std::unique_ptr<CipherContext> NewAes128Cbc() {
    return CreateAesCbcContext(16);
}
std::unique_ptr<CipherContext> NewBlowfishCtr() {
    return CreateBlowfishCtrContext(32);
}
std::unique_ptr<CipherContext> NewBlowfishCbc() {
    return CreateBlowfishCbcContext(16);
}
std::unique_ptr<CipherContext> NewArcfour256() {
    return CreateArcfourContext(32);
}
std::unique_ptr<CipherContext> NewArcfour128() {
    return CreateArcfourContext(16);
}

}  // namespace

using F = CipherFamily;
const CipherDescriptor kAes256Ctr{NewAes256Ctr, F::kAes, "aes256-ctr", 16,
                                  256,          32,      false,        "AES-256 SDCTR"};
const CipherDescriptor kAes256Cbc{NewAes256Cbc, F::kAes, "aes256-cbc", 16,
                                  256,          32,      true,         "AES-256 CBC"};
const CipherDescriptor kAes256CbcAlias{
    NewAes256Cbc, F::kAes, "rijndael-cbc@lysator.liu.se", 16, 256, 32, true, "AES-256 CBC"};
const CipherDescriptor kAes192Ctr{NewAes192Ctr, F::kAes, "aes192-ctr", 16,
                                  192,          24,      false,        "AES-192 SDCTR"};
const CipherDescriptor kAes192Cbc{NewAes192Cbc, F::kAes, "aes192-cbc", 16,
                                  192,          24,      true,         "AES-192 CBC"};
const CipherDescriptor kAes128Ctr{NewAes128Ctr, F::kAes, "aes128-ctr", 16,
                                  128,          16,      false,        "AES-128 SDCTR"};
const CipherDescriptor kAes128Cbc{NewAes128Cbc, F::kAes, "aes128-cbc", 16,
                                  128,          16,      true,         "AES-128 CBC"};
const CipherDescriptor kBlowfishCtr{NewBlowfishCtr, F::kBlowfish,        "blowfish-ctr", 8, 256, 32,
                                    false,          "Blowfish-256 SDCTR"};
const CipherDescriptor kBlowfishCbc{NewBlowfishCbc, F::kBlowfish,      "blowfish-cbc", 8, 128, 16,
                                    true,           "Blowfish-128 CBC"};
const CipherDescriptor kTripleDesCtr{
    CreateTripleDesCtrContext, F::kTripleDes, "3des-ctr", 8, 168, 24, false, "triple-DES SDCTR"};
const CipherDescriptor kTripleDesCbc{
    CreateTripleDesCbcContext, F::kTripleDes, "3des-cbc", 8, 168, 24, true, "triple-DES CBC"};
const CipherDescriptor kDesCbc{CreateDesCbcContext, F::kSingleDes, "des-cbc", 8, 56, 8, true,
                               "single-DES CBC"};
const CipherDescriptor kDesCbcAlias{
    CreateDesCbcContext, F::kSingleDes, "des-cbc@ssh.com", 8, 56, 8, true, "single-DES CBC"};
const CipherDescriptor kArcfour256{NewArcfour256, F::kArcfour, "arcfour256", 1,
                                   256,           32,          false,        "Arcfour-256"};
const CipherDescriptor kArcfour128{NewArcfour128, F::kArcfour, "arcfour128", 1,
                                   128,           16,          false,        "Arcfour-128"};

namespace {

CipherDescriptor AuthenticatedCipher(const AeadDescriptor& aead, CipherFamily family) {
    return {nullptr,       family, aead.name,        aead.blockSize, aead.keyBits,
            aead.keyBytes, false,  aead.displayName, &aead};
}

}  // namespace

const CipherDescriptor kChaCha20Poly1305Cipher =
    AuthenticatedCipher(kChaCha20Poly1305, F::kChaCha20);
const CipherDescriptor kAes128GcmCipher = AuthenticatedCipher(kAes128Gcm, F::kAes);
const CipherDescriptor kAes256GcmCipher = AuthenticatedCipher(kAes256Gcm, F::kAes);

namespace {

const CipherDescriptor* const kModernList[] = {&kChaCha20Poly1305Cipher, &kAes128GcmCipher,
                                               &kAes256GcmCipher};

const CipherDescriptor* const kAesList[] = {&kAes256Ctr, &kAes256Cbc, &kAes256CbcAlias, &kAes192Ctr,
                                            &kAes192Cbc, &kAes128Ctr, &kAes128Cbc};
const CipherDescriptor* const kBlowfishList[] = {&kBlowfishCtr, &kBlowfishCbc};
const CipherDescriptor* const kTripleDesList[] = {&kTripleDesCtr, &kTripleDesCbc};
const CipherDescriptor* const kSingleDesList[] = {&kDesCbc, &kDesCbcAlias};
const CipherDescriptor* const kArcfourList[] = {&kArcfour256, &kArcfour128};

// Indexed by family code.
const CipherFamilyList kFamilies[] = {
    {F::kTripleDes, kTripleDesList}, {F::kBlowfish, kBlowfishList}, {F::kAes, kAesList},
    {F::kSingleDes, kSingleDesList}, {F::kArcfour, kArcfourList},
};

}  // namespace

const CipherFamilyList* CipherFamilyByCode(int code) {
    if (code < 1 || code > 5) return nullptr;
    return &kFamilies[code - 1];
}

std::vector<const CipherFamilyList*> CipherCandidates(const CipherPreference& preference,
                                                      bool allowSingleDes) {
    std::vector<const CipherFamilyList*> slots;
    for (size_t slot = 0; slot < preference.size(); ++slot) {
        const int code = preference[slot];
        if (code == static_cast<int>(CipherFamily::kSingleDes) && !allowSingleDes) continue;
        const CipherFamilyList* family = CipherFamilyByCode(code);
        if (family == nullptr && slot + 1 == preference.size())
            continue;  // trailing marker dropped
        slots.push_back(family);
    }
    return slots;
}

std::vector<const CipherDescriptor*> CipherOffer(const CipherPreference& preference,
                                                 bool allowSingleDes) {
    std::vector<const CipherDescriptor*> offer;
    for (const CipherFamilyList* family : CipherCandidates(preference, allowSingleDes)) {
        if (family == nullptr) continue;
        offer.insert(offer.end(), family->ciphers.begin(), family->ciphers.end());
    }
    return offer;
}

std::string CipherNameList(const CipherPreference& preference, bool allowSingleDes) {
    std::string list;
    for (const CipherDescriptor* cipher : CipherOffer(preference, allowSingleDes)) {
        if (!list.empty()) list += ',';
        list += cipher->name;
    }
    return list;
}

std::span<const CipherDescriptor* const> ModernCiphers() {
    return kModernList;
}

const CipherDescriptor* FindCipher(std::string_view name) {
    for (const int code : {3, 2, 1, 4, 5}) {
        for (const CipherDescriptor* cipher : CipherFamilyByCode(code)->ciphers) {
            if (cipher->name == name) return cipher;
        }
    }
    for (const CipherDescriptor* cipher : kModernList) {
        if (cipher->name == name) return cipher;
    }
    return nullptr;
}

}  // namespace tessan::crypto
