#include "crypto/host_key.h"

namespace tessan::crypto {
namespace {

const HostKeyAlgorithm* const kAlgorithms[] = {&kSshRsa, &kSshDss};

}  // namespace

std::span<const HostKeyAlgorithm* const> HostKeyAlgorithms() {
    return kAlgorithms;
}

const HostKeyAlgorithm* FindHostKeyAlgorithm(std::string_view name) {
    for (const HostKeyAlgorithm* algorithm : kAlgorithms) {
        if (algorithm->name == name) return algorithm;
    }
    return nullptr;
}

}  // namespace tessan::crypto
