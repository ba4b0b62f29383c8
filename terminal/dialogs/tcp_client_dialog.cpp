#include "terminal/dialogs/tcp_client_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"
#include "terminal/session/http_request.h"

namespace ostrel {

TcpClientDialog::TcpClientDialog(SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), address_(*this, settings, "23") {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMTCPCLIENT_CLASS"));
    setWindowTitle(QStringLiteral("New TCP Client"));
    setModal(true);
    ApplyDialogFont(*this);

    auto* form = new QFormLayout;
    address_.AddHostAndPortRows(*form);
    address_.AddTimeoutRow(*form);
    http_ = new QCheckBox(QStringLiteral("Open as HTTP"), this);
    http_->setObjectName(QStringLiteral("http"));
    http_->setChecked(settings.httpMode);
    secure_ = new QCheckBox(QStringLiteral("Secure (SSL/TLS)"), this);
    secure_->setObjectName(QStringLiteral("secure"));
    secure_->setChecked(settings.secure);
    protocol_ = new QComboBox(this);
    protocol_->setObjectName(QStringLiteral("protocol"));
    protocol_->addItems({QStringLiteral("Auto"), QStringLiteral("SSL 2.0 / SSL 3.0"),
                         QStringLiteral("TLS 1.0")});
    protocol_->setCurrentIndex(std::clamp(static_cast<int>(settings.tlsChoice), 0, 2));
    request_ = new QPlainTextEdit(this);
    request_->setObjectName(QStringLiteral("request"));
    request_->setPlainText(FromBytes(RequestToBoxText(settings.httpRequest)));
    request_->setLineWrapMode(QPlainTextEdit::NoWrap);
    generate_ = new QPushButton(QStringLiteral("&Generate Request"), this);
    generate_->setObjectName(QStringLiteral("generate"));
    generate_->setAutoDefault(false);

    auto* options = new QHBoxLayout;
    options->addWidget(http_);
    options->addWidget(secure_);
    options->addWidget(protocol_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(options);
    layout->addWidget(request_, 1);
    auto* buttons = MakeOkCancelRow(*this);
    buttons->insertWidget(0, generate_);
    layout->addLayout(buttons);

    connect(http_, &QCheckBox::clicked, this, [this](bool checked) {
        settings_.httpMode = checked;
        UpdateEnabling();
    });
    connect(secure_, &QCheckBox::clicked, this, [this](bool checked) {
        settings_.secure = checked;
        UpdateEnabling();
    });
    connect(protocol_, &QComboBox::currentIndexChanged, this, [this](int index) {
        settings_.tlsChoice = static_cast<TlsChoice>(std::max(index, 0));
    });
    connect(request_, &QPlainTextEdit::textChanged, this, [this] {
        settings_.httpRequest = RequestFromBoxText(ToBytes(request_->toPlainText()));
        if (settings_.httpRequest.size() > kHttpTextCapacity)
            settings_.httpRequest.resize(kHttpTextCapacity);
    });
    connect(generate_, &QPushButton::clicked, this, [this] { GenerateRequest(); });

    UpdateEnabling();
    address_.Host().setFocus();
    resize(420, 320);
}

void TcpClientDialog::UpdateEnabling() {
    request_->setEnabled(http_->isChecked());
    generate_->setEnabled(http_->isChecked());
    protocol_->setEnabled(secure_->isChecked());
}

void TcpClientDialog::GenerateRequest() {
    const std::string request = GenerateHttpRequest(ToUtf8(address_.Host().text()));
    request_->setPlainText(FromBytes(RequestToBoxText(request)));
    settings_.httpRequest = request;
}

void TcpClientDialog::accept() {
    if (!address_.CheckPort()) return;
    address_.Store(settings_);
    settings_.inUse = true;
    QDialog::accept();
}

}  // namespace ostrel
