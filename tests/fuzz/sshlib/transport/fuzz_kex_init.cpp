// The key-exchange-init parser and the negotiation on arbitrary payloads: no crash, the lists
// stay inside the message, and whatever is chosen is something both sides named.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sshlib/transport/kex_init.h"

using namespace tessan::transport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<KexInitMessage> message = ParseKexInit({data, size});
    if (!message) return 0;
    const char* begin = reinterpret_cast<const char*>(data);
    for (std::string_view list : message->lists) {
        if (list.data() < begin || list.data() + list.size() > begin + size) abort();
    }
    for (bool compression : {false, true}) {
        KexSettings settings;
        settings.compression = compression;
        settings.allowSingleDes = compression;
        settings.modernFirst = compression;
        const OfferContext context{.firstExchange = true, .strictModesAllowed = compression};
        NegotiatedAlgorithms chosen;
        bool guess = false;
        NegotiationResult result = Negotiate(BuildOffer(settings, compression, context),
                                             compression, *message, chosen, guess);
        if (result != NegotiationResult::kOk) {
            // The failure text quotes at most 400 bytes of the server's list.
            if (NegotiationFailureText(result, *message).size() > 2 * 400 + 100) abort();
            continue;
        }
        if (!NameListContains(message->lists[kListKex], chosen.kex->name)) abort();
        if (!NameListContains(message->lists[kListHostKey], chosen.hostKey->name)) abort();
        for (int d = 0; d < 2; ++d) {
            if (!NameListContains(message->lists[kListCipherClientToServer + d],
                                  chosen.cipher[d]->name) ||
                (!chosen.cipher[d]->IsAead() &&
                 !NameListContains(message->lists[kListMacClientToServer + d],
                                   chosen.mac[d]->name)) ||
                !NameListContains(message->lists[kListCompressionClientToServer + d],
                                  chosen.compression[d]->name)) {
                abort();
            }
        }
    }
    return 0;
}
