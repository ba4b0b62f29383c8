// The context types behind the SSH-2 cipher descriptors (cipher_registry.cpp) and the factories
// that create them. Internal to the crypto library.
#pragma once

#include <memory>

#include "crypto/cipher.h"

namespace tessan::crypto {

std::unique_ptr<CipherContext> CreateAesCbcContext(size_t keyBytes);
std::unique_ptr<CipherContext> CreateAesCtrContext(size_t keyBytes);
std::unique_ptr<CipherContext> CreateTripleDesCbcContext();
std::unique_ptr<CipherContext> CreateTripleDesCtrContext();
std::unique_ptr<CipherContext> CreateDesCbcContext();
std::unique_ptr<CipherContext> CreateBlowfishCbcContext(size_t keyBytes);
std::unique_ptr<CipherContext> CreateBlowfishCtrContext(size_t keyBytes);
// Arcfour discards the first 1536 keystream bytes after the key schedule (RFC 4345).
std::unique_ptr<CipherContext> CreateArcfourContext(size_t keyBytes);

}  // namespace tessan::crypto
