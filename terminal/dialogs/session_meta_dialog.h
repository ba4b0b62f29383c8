// "Session Meta Data": the session's comment, stored (trimmed of blanks) as it is typed.
#pragma once

#include <QDialog>

#include "terminal/session/session_settings.h"

class QPlainTextEdit;

namespace ostrel {

class SessionMetaDialog final : public QDialog {
public:
    SessionMetaDialog(SessionSettings& settings, QWidget* parent = nullptr);

private:
    SessionSettings& settings_;
    QPlainTextEdit* comment_ = nullptr;
};

}  // namespace ostrel
