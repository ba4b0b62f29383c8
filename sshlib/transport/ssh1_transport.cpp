#include "sshlib/transport/ssh1_transport.h"

#include <string>

#include "sshlib/transport/ssh1_constants.h"
#include "sshlib/transport/trace_records.h"

namespace tessan::transport {

Ssh1Transport::Ssh1Transport(Hooks hooks, Ssh1RandomSource random)
    : hooks_(std::move(hooks)), random_(std::move(random)) {}

Ssh1Transport::~Ssh1Transport() = default;

void Ssh1Transport::Feed(const uint8_t* data, size_t length) {
    size_t offset = 0;
    while (!broken_ && offset < length) {
        size_t consumed = 0;
        const Ssh1PacketReader::Result result =
            reader_.Feed(data + offset, length - offset, consumed);
        offset += consumed;
        switch (result) {
            case Ssh1PacketReader::Result::kNeedMore:
                return;
            case Ssh1PacketReader::Result::kPacket: {
                Ssh1IncomingPacket packet = reader_.Packet();
                Dispatch(packet);
                break;
            }
            case Ssh1PacketReader::Result::kBadLength:
                Fail(kErrProtocol, "Invalid packet length");
                return;
            case Ssh1PacketReader::Result::kBadCheck:
                Fail(kErrPacketCorrupted, "Corrupted check bytes on input");
                return;
            case Ssh1PacketReader::Result::kAttack:
                Fail(kErrAttackDetected, "CRC-32 compensation attack detected");
                return;
        }
    }
}

void Ssh1Transport::Dispatch(Ssh1IncomingPacket& packet) {
    const uint8_t type = packet.Type();
    trace::Packet(1, false, type, packet.Payload().size());
    switch (type) {
        case ssh1::kMsgDisconnect: {
            std::string_view text;
            packet.ReadString(text);
            broken_ = true;
            hooks_.failed({kErrConnectionClosed, 0, std::string(text), true, false});
            return;
        }
        case ssh1::kMsgIgnore:
        case ssh1::kMsgDebug:
            return;
        default:
            break;
    }
    if (handlers_[type]) {
        handlers_[type](packet);
    } else if (routine_) {
        routine_(packet);
    }
}

void Ssh1Transport::Fail(DWORD error, std::string_view text) {
    broken_ = true;
    SendDisconnect(text);
    hooks_.failed({error, 0, std::string(text), false, false});
}

void Ssh1Transport::Send(const Ssh1OutgoingPacket& packet) {
    Defer(packet);
    SendDeferred();
}

void Ssh1Transport::Defer(const Ssh1OutgoingPacket& packet) {
    trace::Packet(1, true, packet.Type(), packet.Payload().size());
    FrameSsh1Packet(packet, cipher_.get(), random_, deferred_);
}

void Ssh1Transport::SendDeferred() {
    if (deferred_.empty()) return;
    hooks_.output(deferred_);
    deferred_.clear();
}

void Ssh1Transport::SendDisconnect(std::string_view text) {
    Ssh1OutgoingPacket message(ssh1::kMsgDisconnect);
    message.AddString(text);
    Send(message);
}

void Ssh1Transport::StartEncryption(const crypto::Ssh1CipherDescriptor& cipher,
                                    const uint8_t* sessionKey) {
    cipher_ = cipher.CreateContext();
    cipher_->SetSessionKey(sessionKey);
    descriptor_ = &cipher;
    reader_.SetCipher(cipher_.get());
}

void Ssh1Transport::SetHandler(uint8_t type, Handler handler) {
    handlers_[type] = std::move(handler);
}

}  // namespace tessan::transport
