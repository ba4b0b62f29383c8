// Draws the main window in a live SSH session and saves it as a PNG:
//   ostrel_ssh_screenshot OUTPUT.png
// The window runs as in the program (real controller, real SSH library) against OpenSSH's sshd
// on loopback with the password account of the SSH library's tests (made when run as root).
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "ssh_peers.h"
#include "terminal/app/app_controller.h"
#include "terminal/bindings/qt_bindings.h"
#include "terminal/window/main_window.h"

namespace {

namespace peers = tessan::testing;

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: ostrel_ssh_screenshot OUTPUT.png\n", stderr);
        return 2;
    }
    if (std::getenv("OSTREL_HOME") == nullptr) setenv("OSTREL_HOME", "/tmp/ostrel-screenshot-home", 1);
    QApplication app(argc, argv);

    const peers::TestAccount& account = peers::PasswordAccount();
    if (!account.error.empty()) {
        std::fprintf(stderr, "ostrel_ssh_screenshot: no password account (%s)\n", account.error.c_str());
        return 1;
    }
    peers::SshdPeer server;
    const peers::SshdOptions options = peers::QuickSshdOptions();
    if (!server.Start(options)) {
        std::fprintf(stderr, "ostrel_ssh_screenshot: %s\n", server.Error().c_str());
        return 1;
    }

    ostrel::QtBindings bindings;
    ostrel::MainWindow window;
    ostrel::AppController controller(window, bindings.Net(), bindings.Serial());
    window.Attach(controller);
    controller.AttachSsh(bindings.Ssh(), &bindings.Events());
    window.SetSessionDialogHook([&](ostrel::SessionType, ostrel::SessionSettings& s) {
        s.host = "127.0.0.1";
        s.port = std::to_string(server.Port());
        s.sshUser = account.user;
        s.sshPassword = account.password;
        s.inUse = true;
        return ostrel::DialogResult::Confirmed;
    });
    controller.Start({});
    window.resize(760, 500);  // room for the connection's lines and a few commands
    window.show();
    controller.Dispatch(ostrel::CommandId::TerminateCr);
    const std::string& pane = window.OutputPaneView().Document().Text();
    auto promptShown = [&] { return pane.size() >= 2 && pane.compare(pane.size() - 2, 2, "$ ") == 0; };
    controller.Dispatch(ostrel::CommandId::SessionSshClient);
    bool ok = PumpUntil(promptShown, 10000);
    for (const char* line : {"uname -sr", "ls /etc/ssh | head -3"}) {
        window.InputView().setText(QString::fromLatin1(line));
        const std::size_t before = pane.size();
        controller.OnSend();
        ok = ok && PumpUntil([&] { return pane.size() > before + 4 && promptShown(); }, 10000);
    }
    window.InputView().setText(QStringLiteral("exit"));
    PumpUntil([] { return false; }, 200);

    const bool saved = ok && window.grab().save(QString::fromLocal8Bit(argv[1]));
    if (!ok) std::fputs("ostrel_ssh_screenshot: the session did not answer in time\n", stderr);
    controller.Shutdown();
    return saved ? 0 : 1;
}
