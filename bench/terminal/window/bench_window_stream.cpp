// Streams text from a local TCP peer into the real main window (offscreen platform) and reports
// the rate shown and how late the GUI thread's events run meanwhile; a bare QTcpSocket reading
// the same stream is the reference. BM_WindowStreamTextLogged shows the text view with logging
// to a file on, beside BM_WindowStreamText without it.
//
//   build/bench/terminal/window/bench_window_stream [--benchmark_filter=...]
//   OSTREL_BENCH_MB sets the size of each stream (default 32).
#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "terminal/app/app_controller.h"
#include "terminal/bindings/qt_serial_device.h"
#include "terminal/bindings/qt_tessnet.h"
#include "terminal/core/display.h"
#include "terminal/window/main_window.h"

namespace {

using namespace ostrel;

constexpr std::string_view kEndMarker = "END-OF-STREAM\r\n";

std::size_t StreamBytes() {
    const char* text = std::getenv("OSTREL_BENCH_MB");
    const long mb = text != nullptr ? std::atol(text) : 32;
    return static_cast<std::size_t>(std::max(1L, mb)) << 20;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// A device that, once connected, sends `bytes` of 80-byte text lines as fast as the receiver
// takes them, then the end marker, then closes. Runs on its own thread with blocking sockets.
class StreamingPeer {
public:
    explicit StreamingPeer(std::size_t bytes) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 1);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, bytes] { Run(bytes); });
    }
    ~StreamingPeer() {
        thread_.join();
        close(listener_);
    }
    unsigned short Port() const { return port_; }

private:
    void Run(std::size_t bytes) {
        const int peer = accept(listener_, nullptr, nullptr);
        std::string block;
        for (int line = 0; block.size() < 64 * 1024; ++line) {
            std::string text = "line " + std::to_string(line) + " ";
            text.resize(78, static_cast<char>('a' + line % 26));
            block += text + "\r\n";
        }
        std::size_t sent = 0;
        while (sent < bytes) {
            const std::size_t n = std::min(block.size(), bytes - sent);
            const ssize_t written = send(peer, block.data(), n, MSG_NOSIGNAL);
            if (written <= 0) break;
            sent += static_cast<std::size_t>(written);
        }
        send(peer, kEndMarker.data(), kEndMarker.size(), MSG_NOSIGNAL);
        close(peer);
    }

    int listener_ = -1;
    unsigned short port_ = 0;
    std::thread thread_;
};

// Lateness of a 10 ms timer on the GUI thread: how long events wait while the stream is shown.
class LatencyProbe {
public:
    LatencyProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            if (last_ != 0) late_.push_back(static_cast<double>(now - last_) / 1e6 - 10.0);
            last_ = now;
        });
        clock_.start();
        timer_.start(10);
    }
    double Percentile(double p) {
        if (late_.empty()) return 0;
        std::sort(late_.begin(), late_.end());
        return std::max(0.0, late_[static_cast<std::size_t>(p * static_cast<double>(late_.size() - 1))]);
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    std::vector<double> late_;
};

void StreamIntoWindow(benchmark::State& state, DisplayType view, bool logging = false) {
    const std::size_t bytes = StreamBytes();
    const std::string logFile = std::string(std::getenv("OSTREL_HOME")) + "/bench-log.txt";
    for (auto _ : state) {
        QtTessnet net;
        QtSerialDevice serial;
        MainWindow window;
        AppController controller(window, net, serial);
        window.Attach(controller);
        controller.Start({});
        window.show();
        controller.GetDisplay().SetDisplayType(view);
        if (logging) controller.StartLogFile(logFile);
        StreamingPeer peer(bytes);
        window.SetSessionDialogHook([&peer](SessionType, SessionSettings& s) {
            s.host = "127.0.0.1";
            s.port = std::to_string(peer.Port());
            s.inUse = true;
            return DialogResult::Confirmed;
        });
        const long rssBefore = ResidentKiB();
        std::size_t paneMax = 0;
        long rssMax = rssBefore;
        LatencyProbe probe;
        QElapsedTimer clock;
        clock.start();
        controller.Dispatch(CommandId::SessionTcpClient);
        const std::string& text = window.OutputPaneView().Document().Text();
        const std::string marker = view == DisplayType::Hex ? std::string(">>END-OF-S")
                                                             : std::string(kEndMarker);
        while (text.find(marker, text.size() > 400 ? text.size() - 400 : 0) == std::string::npos) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            paneMax = std::max(paneMax, window.OutputPaneView().Length());
            rssMax = std::max(rssMax, ResidentKiB());
            if (clock.elapsed() > 600000) {
                state.SkipWithError("the stream did not arrive within 10 minutes");
                break;
            }
        }
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["MB_per_s_shown"] = static_cast<double>(bytes) / seconds / 1e6;
        state.counters["gui_late_p50_ms"] = probe.Percentile(0.5);
        state.counters["gui_late_p99_ms"] = probe.Percentile(0.99);
        state.counters["gui_late_max_ms"] = probe.Percentile(1.0);
        state.counters["pane_max_bytes"] = static_cast<double>(paneMax);
        state.counters["rss_growth_MB"] = static_cast<double>(rssMax - rssBefore) / 1024.0;
        controller.Shutdown();
        if (logging) {
            std::error_code ec;
            const auto logged = std::filesystem::file_size(logFile, ec);
            state.counters["log_MB"] = ec ? -1.0 : static_cast<double>(logged) / 1e6;
            std::filesystem::remove(logFile, ec);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes));
}

void BM_WindowStreamText(benchmark::State& state) {
    StreamIntoWindow(state, DisplayType::Text);
}
void BM_WindowStreamTextLogged(benchmark::State& state) {
    StreamIntoWindow(state, DisplayType::Text, true);
}
void BM_WindowStreamHex(benchmark::State& state) {
    StreamIntoWindow(state, DisplayType::Hex);
}

// Reference: the same stream read by a bare QTcpSocket on the same event loop, shown nowhere.
void BM_ReferenceSocketOnly(benchmark::State& state) {
    const std::size_t bytes = StreamBytes();
    for (auto _ : state) {
        StreamingPeer peer(bytes);
        QTcpSocket socket;
        std::size_t received = 0;
        bool done = false;
        QObject::connect(&socket, &QTcpSocket::readyRead, [&] { received += static_cast<std::size_t>(socket.readAll().size()); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [&] { done = true; });
        QElapsedTimer clock;
        clock.start();
        socket.connectToHost(QStringLiteral("127.0.0.1"), peer.Port());
        while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        received += static_cast<std::size_t>(socket.readAll().size());
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["MB_per_s_shown"] = static_cast<double>(received) / seconds / 1e6;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes));
}

BENCHMARK(BM_ReferenceSocketOnly)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowStreamText)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowStreamTextLogged)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowStreamHex)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (std::getenv("OSTREL_HOME") == nullptr) setenv("OSTREL_HOME", "/tmp/ostrel-bench-home", 1);
    std::filesystem::create_directories(std::getenv("OSTREL_HOME"));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
