#include "sshlib/transport/quirks.h"

#include <initializer_list>
#include <utility>

#include "sshlib/transport/wildcard.h"

namespace tessan::transport {
namespace {

bool IsOneOf(std::string_view version, std::initializer_list<std::string_view> exact) {
    for (std::string_view e : exact) {
        if (version == e) return true;
    }
    return false;
}

bool MatchesAny(std::string_view version, std::initializer_list<std::string_view> patterns) {
    for (std::string_view p : patterns) {
        if (WildcardMatch(p, version)) return true;
    }
    return false;
}

bool Decide(uint32_t bit, std::string_view v) {
    switch (bit) {
        case kQuirkSsh1ChokesOnIgnore:
            return IsOneOf(v, {"1.2.18", "1.2.19", "1.2.20", "1.2.21", "1.2.22", "Cisco-1.25",
                               "OSU_1.4alpha3", "OSU_1.5alpha4"});
        case kQuirkSsh1PlainPassword:
            return IsOneOf(v, {"Cisco-1.25", "OSU_1.4alpha3"});
        case kQuirkSsh1ChokesOnRsa:
            return IsOneOf(v, {"Cisco-1.25"});
        case kQuirkHmacKeys16:
            return !WildcardMatch("* VShell", v) &&
                   MatchesAny(v, {"2.1.0*", "2.0.*", "2.2.0*", "2.3.0*", "2.1 *"});
        case kQuirkDeriveWithoutSecret:
            return !WildcardMatch("* VShell", v) && MatchesAny(v, {"2.0.0*", "2.0.10*"});
        case kQuirkRsaSignaturePadding:
            return MatchesAny(v, {"OpenSSH_2.[5-9]*", "OpenSSH_3.[0-2]*"});
        case kQuirkPublicKeySidLength:
            return MatchesAny(v, {"OpenSSH_2.[0-2]*"});
        case kQuirkNoRekey:
            return MatchesAny(v, {"DigiSSH_2.0", "OpenSSH_2.[0-4]*", "OpenSSH_2.5.[0-3]*",
                                  "Sun_SSH_1.0", "Sun_SSH_1.0.1"});
        default:
            return false;
    }
}

}  // namespace

uint32_t DetectQuirks(const QuirkSettings& settings, std::string_view softwareVersion) {
    const std::pair<QuirkSetting, uint32_t> order[] = {
        {settings.ssh1ChokesOnIgnore, kQuirkSsh1ChokesOnIgnore},
        {settings.ssh1PlainPassword, kQuirkSsh1PlainPassword},
        {settings.ssh1ChokesOnRsa, kQuirkSsh1ChokesOnRsa},
        {settings.hmacKeys16, kQuirkHmacKeys16},
        {settings.deriveWithoutSecret, kQuirkDeriveWithoutSecret},
        {settings.rsaSignaturePadding, kQuirkRsaSignaturePadding},
        {settings.publicKeySidLength, kQuirkPublicKeySidLength},
        {settings.noRekey, kQuirkNoRekey},
    };
    uint32_t flags = 0;
    for (const auto& [setting, bit] : order) {
        bool on = setting == QuirkSetting::kAlwaysOn ||
                  (setting == QuirkSetting::kDecide && Decide(bit, softwareVersion));
        if (on) flags |= bit;
    }
    return flags;
}

}  // namespace tessan::transport
