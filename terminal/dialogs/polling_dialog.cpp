#include "terminal/dialogs/polling_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"
#include "terminal/session/http_request.h"

namespace ostrel {

PollingDialog::PollingDialog(Polling& polling, QWidget* parent)
    : QDialog(parent), polling_(polling) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMPOLLING_CLASS"));
    setWindowTitle(QStringLiteral("Polling"));
    setModal(true);
    ApplyDialogFont(*this);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("pollText"));
    text_->setFont(TerminalFont());
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The box holds plain LF line breaks; the poll text has CR LF.
    text_->setPlainText(FromBytes(RequestToBoxText(polling.Text())));

    delay_ = MakeField(*this, QStringLiteral("delay"), 11, QString::number(polling.Period()));

    ok_ = new QPushButton(QStringLiteral("&Ok"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(text_, 0, 0, 1, 4);
    layout->addWidget(new QLabel(QStringLiteral("Delay (mS)"), this), 1, 0);
    layout->addWidget(delay_, 1, 1);
    layout->addWidget(ok_, 1, 2);
    layout->addWidget(cancel_, 1, 3);
    layout->setRowStretch(0, 1);
    layout->setColumnStretch(1, 1);

    connect(text_, &QPlainTextEdit::textChanged, this, [this] {
        polling_.SetText(RequestFromBoxText(ToBytes(text_->toPlainText())));
    });
    connect(delay_, &QLineEdit::textChanged, this,
            [this](const QString& text) { polling_.SetPeriodText(ToUtf8(text)); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    resize(360, 300);
}

bool RunPollingDialog(QWidget* parent, Polling& polling) {
    PollingDialog dialog(polling, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace ostrel
