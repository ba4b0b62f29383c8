// An OutputPane that keeps its text and colour runs in memory. Used by the tests and the
// benchmarks, and usable by any front end that draws the text itself.
#pragma once

#include <string>
#include <vector>

#include "terminal/core/output_pane.h"

namespace ostrel {

class MemoryPane final : public OutputPane {
public:
    struct Run {
        std::size_t start;  // position of the run's first character
        Colour colour;
        friend bool operator==(const Run&, const Run&) = default;
    };

    void Freeze() override;
    void Unfreeze() override;
    void AppendColored(std::string_view text, Colour colour) override;
    std::size_t Length() const override { return text_.size(); }
    void KeepTail(std::size_t count) override;
    void SetCaret(std::size_t position) override;
    void SetBackground(Colour colour) override { background_ = colour; }

    const std::string& Text() const { return text_; }
    // Adjacent appends of the same colour share one run.
    const std::vector<Run>& Runs() const { return runs_; }
    // Colour of the character at position (position < Length()).
    Colour ColourAt(std::size_t position) const;
    std::size_t Caret() const { return caret_; }
    Colour Background() const { return background_; }
    bool Frozen() const { return frozen_; }
    // How often the pane was frozen, and how often text changed while it was not frozen.
    std::size_t FreezeCount() const { return freezeCount_; }
    std::size_t ChangesWhileUnfrozen() const { return changesWhileUnfrozen_; }
    void Clear();

private:
    std::string text_;
    std::vector<Run> runs_;
    std::size_t caret_ = 0;
    Colour background_ = 0;
    bool frozen_ = false;
    std::size_t freezeCount_ = 0;
    std::size_t changesWhileUnfrozen_ = 0;
};

}  // namespace ostrel
