#include "terminal/core/transmit.h"

#include <array>

#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

enum class Readiness { PortOpen, Connected, Listening };

struct TransmitRule {
    SessionType type;
    Readiness ready;
    bool lengthLimit;
    bool checkResult;
    bool httpWhenNotOpen;  // only a TCP Client can be in HTTP mode
    std::string_view notOpenLine;
};

constexpr std::array<TransmitRule, 6> kRules{{
    {SessionType::Serial, Readiness::PortOpen, false, false, false, {}},
    {SessionType::TcpClient, Readiness::Connected, true, true, true,
     "TCP Client: Cannot send - port not open..."},
    {SessionType::TcpServer, Readiness::Listening, true, true, false,
     "TCP Server: Cannot send - port not open..."},
    {SessionType::UdpClient, Readiness::Connected, true, true, false,
     "UDP Client: Cannot send - port not open..."},
    {SessionType::UdpServer, Readiness::Connected, true, true, false,
     "UDP Server: Cannot send - port not open..."},
    {SessionType::SshClient, Readiness::Connected, true, true, false,
     "SSH Client: Cannot send - port not open..."},
}};

const TransmitRule* RuleOf(SessionType type) {
    for (const TransmitRule& rule : kRules)
        if (rule.type == type) return &rule;
    return nullptr;
}

bool IsReady(const TransmitRule& rule, const SessionPort& session) {
    switch (rule.ready) {
        case Readiness::PortOpen:
            return session.PortOpen();
        case Readiness::Connected:
            return session.State() == ConnectionState::Connected;
        case Readiness::Listening:
            return session.State() == ConnectionState::Listening;
    }
    return false;
}

TransmitOutcome QueueHttpLine(std::string_view data, SessionPort& session) {
    const std::string_view line = TrimBlanks(data);
    if (line.empty() || line == "\r\n" || line == "\r" || line == "\n")
        return TransmitOutcome::NothingToSend;
    session.RestartWithPendingHttpLine(std::string(line.substr(0, kMaxPendingHttpLine)));
    return TransmitOutcome::HttpRestarted;
}

}  // namespace

std::string_view NotOpenLine(SessionType type) {
    const TransmitRule* rule = RuleOf(type);
    return rule != nullptr ? rule->notOpenLine : std::string_view{};
}

TransmitOutcome TransmitData(std::string& data, LineTerminator terminator, SessionPort& session,
                             TextOutput& output) {
    data += TerminatorBytes(terminator);

    const TransmitRule* rule = RuleOf(session.Type());
    if (rule == nullptr) return TransmitOutcome::NoSession;

    if (!IsReady(*rule, session)) {
        if (rule->httpWhenNotOpen && session.HttpMode()) return QueueHttpLine(data, session);
        if (!rule->notOpenLine.empty()) output.ShowText(rule->notOpenLine, DisplayCategory::Status);
        return TransmitOutcome::NotOpen;
    }
    if (rule->lengthLimit && data.size() > kMaxNetworkLine) {
        output.ShowText(kTooLongLine, DisplayCategory::Status);
        return TransmitOutcome::TooLong;
    }
    const long result = session.Write(data);
    if (result == kWriteRefused) return TransmitOutcome::Refused;
    if (rule->checkResult && result == -1) {
        session.ShowLastErrorText();
        return TransmitOutcome::WriteFailed;
    }
    return TransmitOutcome::Written;
}

}  // namespace ostrel
