#include "terminal/core/send_line.h"

#include <algorithm>
#include <optional>

#include "terminal/core/code_page.h"
#include "terminal/core/dollar_hex.h"
#include "terminal/core/formatters.h"
#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

bool IsRawLine(std::string_view line) {
    return line.starts_with(kRawPrefix);
}

}  // namespace

std::string TakeInputLine(std::string_view boxText, std::size_t selectionStart,
                          std::size_t selectionEnd) {
    const std::string_view trimmed = TrimBlanks(boxText);
    std::string line(trimmed);
    // Offsets into the box count the leading blanks that trimming removed; without this shift
    // a selection would cut characters next to the ones the user selected.
    const std::size_t lead = trimmed.empty() ? boxText.size() : boxText.find_first_not_of(' ');
    auto toLine = [&](std::size_t offset) {
        return std::min(offset > lead ? offset - lead : 0, line.size());
    };
    const std::size_t start = toLine(std::min(selectionStart, selectionEnd));
    const std::size_t end = toLine(std::max(selectionStart, selectionEnd));
    if (start < end) line.erase(start, end - start);
    return line;
}

std::string LineBytes(std::string_view line, std::vector<MalformedEscape>* malformed) {
    if (IsRawLine(line)) return std::string(line.substr(kRawPrefix.size()));
    return DecodeDollarHex(line, malformed);
}

std::string PlainEcho(std::string_view line, LineTerminator terminator) {
    if (IsRawLine(line)) line.remove_prefix(kRawPrefix.size());
    std::string echo(line);
    echo += TerminatorDollarText(terminator);
    return echo;
}

TransmitOutcome SendText(std::string_view line, const SendOptions& options,
                         const SendContext& context) {
    context.commands.Record(line);

    std::vector<MalformedEscape> malformed;
    std::string data = LineBytes(line, &malformed);
    const TransmitOutcome outcome =
        TransmitData(data, options.terminator, context.session, context.output);
    // The bytes of a typo (a NUL for "$ZZ") never reach a device unnoticed.
    for (std::size_t i = 0; i < malformed.size() && i < kMaxEscapeLines; ++i)
        context.output.ShowText(MalformedEscapeLine(malformed[i]), DisplayCategory::Status);
    if (malformed.size() > kMaxEscapeLines)
        context.output.ShowText("... and " + std::to_string(malformed.size() - kMaxEscapeLines) +
                                    " more malformed escapes in the same line",
                                DisplayCategory::Status);

    // The echo shows what was meant for the wire even when the session refused it, so the
    // integrator sees the string that a working session would have sent.
    if (const std::optional<std::string> converted = FormatForMode(options.mode, data)) {
        if (options.localEcho) context.output.ShowText(*converted, DisplayCategory::Echo);
        if (options.polling) CopyToClipboard(context.clipboard, *converted);
    } else if (options.localEcho) {
        context.output.ShowText(PlainEcho(line, options.terminator), DisplayCategory::Echo);
    }
    return outcome;
}

TransmitOutcome SendLine(const SendOptions& options, const SendContext& context) {
    if (const std::optional<std::string> character = context.input.UnsendableCharacter()) {
        context.output.ShowText(UnsendableCharacterLine(*character), DisplayCategory::Status);
        return TransmitOutcome::Unsendable;
    }
    const std::string line = TakeInputLine(context.input.Text(), context.input.SelectionStart(),
                                           context.input.SelectionEnd());
    const TransmitOutcome outcome = SendText(line, options, context);
    context.input.SetText({});
    context.commands.ResetBrowse();
    return outcome;
}

}  // namespace ostrel
