// The real main window with its controller, socket library and serial device, on Qt's
// offscreen platform, for tests that drive it with keys and menu commands.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "../bindings/qt_test_support.h"
#include "terminal/app/app_controller.h"
#include "terminal/bindings/platform_event_pump.h"
#include "terminal/bindings/qt_serial_device.h"
#include "terminal/bindings/qt_tessnet.h"
#include "terminal/window/main_window.h"

namespace ostrel::testing {

// Answers the next modal dialog once it is open.
inline void WhenDialogOpens(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer] {
        QWidget* dialog = nullptr;
        WaitUntil([&] { return (dialog = QApplication::activeModalWidget()) != nullptr; }, 3000);
        answer(dialog);
    });
}

inline void EnsureGuiApplication() {
    ASSERT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr)
        << "link qt_gui_test_main.cpp";
}

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureGuiApplication(); }

    // With an SSH library the program has SSH Client sessions (events through the fixture's
    // platform event pump); the library must outlive the test.
    explicit WindowTest(SshLibrary* ssh = nullptr) {
        home_ = std::filesystem::temp_directory_path() /
                ("ostrel-window-" + std::to_string(::getpid()));
        std::filesystem::create_directories(home_);
        setenv("OSTREL_HOME", home_.c_str(), 1);
        window_.Attach(controller_);
        if (ssh != nullptr) controller_.AttachSsh(*ssh, &events_);
        controller_.Start({});
        window_.show();
        QApplication::setActiveWindow(&window_);
        window_.InputView().setFocus();
        Pump(20);
    }
    ~WindowTest() override {
        controller_.Shutdown();
        std::filesystem::remove_all(home_);
    }

    // The next session dialog confirms with this host and port.
    void DialogAnswers(std::string host, std::string port) {
        window_.SetSessionDialogHook([host, port](SessionType, SessionSettings& s) {
            s.host = host;
            s.port = port;
            s.inUse = true;
            return DialogResult::Confirmed;
        });
    }
    // Types a line into the input box and presses Enter, as a user would.
    void Type(const QString& line) {
        QTest::keyClicks(&window_.InputView(), line);
        QTest::keyClick(&window_.InputView(), Qt::Key_Return);
    }
    // A key pressed where the focus is (the input box when a closed dialog left none).
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target != nullptr ? target : &window_.InputView(), key, modifiers);
    }
    const std::string& PaneText() { return window_.OutputPaneView().Document().Text(); }
    std::string Status(int part) { return window_.StatusPartText(part).toStdString(); }
    // The colour of the last occurrence of text in the pane.
    Colour ColourOf(const std::string& text) {
        const std::size_t at = PaneText().rfind(text);
        EXPECT_NE(at, std::string::npos) << text;
        return at == std::string::npos ? 0xFFFFFFFF : window_.OutputPaneView().Document().ColourAt(at);
    }
    bool PaneEndsWith(const std::string& tail) {
        const std::string& text = PaneText();
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    }

    std::filesystem::path home_;
    QtTessnet net_;
    QtSerialDevice serial_;
    PlatformEventPump events_;
    MainWindow window_;
    AppController controller_{window_, net_, serial_};
    const ColourTable colours_ = DefaultColourTable();
};

}  // namespace ostrel::testing
