#include "terminal/bindings/qt_program_runner.h"

#include <QStringList>

namespace ostrel {
namespace {

// How long a starting program may take to be running (fork and exec, normally at once).
constexpr int kStartMs = 5000;

void Describe(QProcess& process, const ProgramLine& line) {
    process.setProgram(QString::fromStdString(line.program));
    QStringList arguments;
    for (const std::string& argument : line.arguments)
        arguments << QString::fromStdString(argument);
    process.setArguments(arguments);
}

}  // namespace

QtProgramRunner::~QtProgramRunner() {
    Stop();
}

bool QtProgramRunner::Start(const ProgramLine& line, Handlers handlers, std::string* error) {
    if (process_ != nullptr) {
        *error = "another program is still running";
        return false;
    }
    auto process = std::make_unique<QProcess>();
    Describe(*process, line);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process.get(), &QProcess::readyReadStandardOutput, [this] { OnOutput(); });
    QObject::connect(process.get(), &QProcess::finished,
                     [this](int code, QProcess::ExitStatus status) { OnFinished(code, status); });
    process->start();
    if (!process->waitForStarted(kStartMs)) {
        *error = process->errorString().toStdString();
        process->disconnect();
        process->kill();
        process->waitForFinished(1000);
        return false;
    }
    handlers_ = std::move(handlers);
    process_ = std::move(process);
    return true;
}

bool QtProgramRunner::StartDetached(const ProgramLine& line, std::string* error) {
    QProcess process;
    Describe(process, line);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached()) return true;
    *error = process.errorString().toStdString();
    return false;
}

void QtProgramRunner::Stop() {
    if (process_ == nullptr) return;
    process_->disconnect();
    process_->kill();
    process_->waitForFinished(1000);
    process_.reset();
    handlers_ = {};
}

void QtProgramRunner::OnOutput() {
    if (process_ == nullptr) return;
    const QByteArray bytes = process_->readAllStandardOutput();
    if (!bytes.isEmpty() && handlers_.output)
        handlers_.output(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void QtProgramRunner::OnFinished(int exitCode, QProcess::ExitStatus status) {
    OnOutput();  // what came with the end
    // The process object is inside its own signal: it is deleted once the event loop is back.
    QProcess* finished = process_.release();
    finished->disconnect();
    finished->deleteLater();
    Handlers handlers = std::move(handlers_);
    handlers_ = {};
    if (handlers.finished) handlers.finished(exitCode, status == QProcess::CrashExit);
}

}  // namespace ostrel
