// The Tools menu's program runner on QProcess: the output of a running tool arrives through the
// event loop, so the program never waits for a tool.
#pragma once

#include <QProcess>

#include <memory>

#include "terminal/reports/program_runner.h"

namespace ostrel {

class QtProgramRunner final : public ProgramRunner {
public:
    QtProgramRunner() = default;
    ~QtProgramRunner() override;
    QtProgramRunner(const QtProgramRunner&) = delete;
    QtProgramRunner& operator=(const QtProgramRunner&) = delete;

    bool Start(const ProgramLine& line, Handlers handlers, std::string* error) override;
    bool StartDetached(const ProgramLine& line, std::string* error) override;
    bool Running() const override { return process_ != nullptr; }
    void Stop() override;

private:
    void OnOutput();
    void OnFinished(int exitCode, QProcess::ExitStatus status);

    std::unique_ptr<QProcess> process_;
    Handlers handlers_;
};

}  // namespace ostrel
