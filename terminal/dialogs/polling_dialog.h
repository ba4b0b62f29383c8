// The "Polling" dialog: the poll strings, one per line, and the delay between them. Both are
// stored in the polling state as they are typed; "&Ok" and "&Cancel" only decide whether
// polling is switched on.
#pragma once

#include <QDialog>

#include "terminal/persist/polling.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ostrel {

class PollingDialog final : public QDialog {
public:
    // Shows polling's text and period (PrepareForDialog has run). Polling must outlive the dialog.
    explicit PollingDialog(Polling& polling, QWidget* parent = nullptr);

    QPlainTextEdit& TextBox() { return *text_; }
    QLineEdit& DelayBox() { return *delay_; }
    QPushButton& OkButton() { return *ok_; }
    QPushButton& CancelButton() { return *cancel_; }

private:
    Polling& polling_;
    QPlainTextEdit* text_ = nullptr;
    QLineEdit* delay_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Shows the dialog modally: true for "&Ok", false for "&Cancel" (or closing it).
bool RunPollingDialog(QWidget* parent, Polling& polling);

}  // namespace ostrel
