// The application controller over a recording front end and a scripted socket library, with a
// per-user folder of its own for each test, files put there and read back, and the pane's lines.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "../session/session_fakes.h"
#include "front_end_fakes.h"
#include "terminal/app/app_controller.h"

namespace ostrel::testing {

// The lines of CR LF separated text, without the empty ones.
inline std::vector<std::string> NonEmptyLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

class ControllerFixture : public ::testing::Test {
protected:
    ControllerFixture() {
        home_ = std::filesystem::temp_directory_path() /
                ("ostrel-app-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(home_);
        std::filesystem::create_directories(home_);
        setenv("OSTREL_HOME", home_.c_str(), 1);
    }
    ~ControllerFixture() override {
        std::error_code ec;
        std::filesystem::permissions(home_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(home_, ec);
    }

    // Writes a file in the per-user folder (and its folders); gives its path.
    std::string Put(const std::string& name, std::string_view text) {
        const std::filesystem::path path = home_ / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(home_ / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The pane's lines from `from` characters on, without the empty ones.
    std::vector<std::string> PaneLines(std::size_t from = 0) const {
        return NonEmptyLines(view_.pane.Text().substr(from));
    }
    bool PaneHas(std::string_view line) const {
        const std::vector<std::string> lines = PaneLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::size_t PaneSize() const { return view_.pane.Text().size(); }

    std::filesystem::path home_;
    FakeView view_;
    ScriptedTessnet net_;
    FakeSerialDevice serial_;
    AppController controller_{view_, net_, serial_};
};

}  // namespace ostrel::testing
