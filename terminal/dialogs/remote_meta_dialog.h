// "Remote Meta Data": the panel's author and comments, stored (trimmed of blanks) as typed.
#pragma once

#include <QDialog>

#include "terminal/remote/remote_definition.h"

class QLineEdit;
class QPlainTextEdit;

namespace ostrel {

class RemoteMetaDialog final : public QDialog {
public:
    RemoteMetaDialog(RemoteDefinition& panel, QWidget* parent = nullptr);

private:
    RemoteDefinition& panel_;
    QLineEdit* author_ = nullptr;
    QPlainTextEdit* comment_ = nullptr;
};

}  // namespace ostrel
