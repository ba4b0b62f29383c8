// Recording stand-ins for the interfaces the terminal core talks through.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "terminal/core/clipboard.h"
#include "terminal/core/date_time.h"
#include "terminal/core/send_line.h"
#include "terminal/core/session_port.h"
#include "terminal/core/text_output.h"

namespace ostrel::testing {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

struct Shown {
    std::string text;
    DisplayCategory category;
    friend bool operator==(const Shown&, const Shown&) = default;
};

class RecordingOutput final : public TextOutput {
public:
    void ShowText(std::string_view text, DisplayCategory category) override {
        shown.push_back({std::string(text), category});
    }
    std::vector<Shown> shown;
};

class RecordingLog final : public LogSink {
public:
    void LogAppend(std::string_view text) override { entries.emplace_back(text); }
    std::vector<std::string> entries;
};

class FixedClock final : public Clock {
public:
    LocalDateTime Now() const override { return now; }
    LocalDateTime now{2024, 3, 7, 9, 5, 2};
};

class RecordingSession final : public SessionPort {
public:
    SessionType Type() const override { return type; }
    ConnectionState State() const override { return state; }
    bool PortOpen() const override { return portOpen; }
    bool HttpMode() const override { return httpMode; }
    long Write(std::string_view data) override {
        writes.emplace_back(data);
        return writeResult;
    }
    void ShowLastErrorText() override { ++errorTextsShown; }
    void RestartWithPendingHttpLine(std::string line) override {
        restarts.push_back(std::move(line));
    }

    SessionType type = SessionType::None;
    ConnectionState state = ConnectionState::Disconnected;
    bool portOpen = false;
    bool httpMode = false;
    long writeResult = 0;
    std::vector<std::string> writes;
    std::vector<std::string> restarts;
    int errorTextsShown = 0;
};

class RecordingClipboard final : public Clipboard {
public:
    bool SetText(std::string_view text) override {
        if (!opens) return false;
        texts.emplace_back(text);
        return true;
    }
    bool opens = true;
    std::vector<std::string> texts;
};

class FakeInputBox final : public InputBox {
public:
    std::string Text() const override { return text; }
    std::size_t SelectionStart() const override { return selectionStart; }
    std::size_t SelectionEnd() const override { return selectionEnd; }
    void SetText(std::string_view value) override {
        text = value;
        selectionStart = selectionEnd = 0;
    }
    std::string text;
    std::size_t selectionStart = 0;
    std::size_t selectionEnd = 0;
};

}  // namespace ostrel::testing
