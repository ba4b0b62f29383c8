// "Ping", "Trace Route" and "Open in Browser": one box for an address, the tool's button and
// "&Cancel". The box starts with the text given and has the focus with its text selected.
#pragma once

#include <QDialog>

#include <optional>
#include <string>

namespace ostrel {

class DollarLineEdit;

class HostToolDialog final : public QDialog {
public:
    enum class Tool { Ping, TraceRoute, OpenInBrowser };
    HostToolDialog(Tool tool, const std::string& initial, QWidget* parent = nullptr);
    // The box's text (UTF-8, as typed).
    std::string Text() const;

private:
    DollarLineEdit* box_ = nullptr;
};

// Runs the dialog: the box's text for the tool's button, nullopt for "&Cancel".
std::optional<std::string> RunHostToolDialog(QWidget* parent, HostToolDialog::Tool tool,
                                             const std::string& initial);

}  // namespace ostrel
