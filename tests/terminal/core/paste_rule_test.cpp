#include "terminal/core/paste_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace ostrel {
namespace {

TEST(PasteRule, LineBreaksBecomeDollarEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"PWR ON", "PWR ON"},
        {"a\r\nb", "a$0D$0Ab"},
        {"a\rb", "a$0D$0Ab"},
        {"a\nb", "a$0D$0Ab"},
        {"a\r\n\r\nb", "a$0D$0A$0D$0Ab"},
        {"a\n\rb", "a$0D$0A$0D$0Ab"},
        {"\r\n", "$0D$0A"},
        {"tab\tstays", "tab\tstays"},
        {"\xe9t\xe9", "\xe9t\xe9"},
    };
    for (const auto& [clipboard, pasted] : cases)
        EXPECT_EQ(DollarPasteText(clipboard), pasted);
}

}  // namespace
}  // namespace ostrel
