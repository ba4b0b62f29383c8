#include "terminal/tools/tcp_client_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/tools/dialog_kit.h"
#include "terminal/tools/dollar_line_edit.h"
#include "terminal/tools/http_request.h"

namespace ostrel {

TcpClientDialog::TcpClientDialog(SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMTCPCLIENT_CLASS"));
    setWindowTitle(QStringLiteral("New TCP Client"));
    setModal(true);
    ApplyDialogFont(*this);

    const std::string port = TrimBlanks(settings.port).empty() ? "23" : settings.port;
    host_ = MakeField(*this, QStringLiteral("host"), kHostCapacity, FromUtf8(settings.host));
    port_ = MakeField(*this, QStringLiteral("port"), kPortCapacity, FromUtf8(port));
    timeout_ = MakeField(*this, QStringLiteral("timeout"), 10,
                         QString::number(settings.timeout));
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

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("I.P. Address or URL"), host_);
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QStringLiteral("Timeout in Seconds"), timeout_);
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
    connect(protocol_, &QComboBox::currentIndexChanged, this,
            [this](int index) { settings_.tlsChoice = static_cast<TlsChoice>(std::max(index, 0)); });
    connect(timeout_, &QLineEdit::textChanged, this,
            [this](const QString& text) { settings_.timeout = ReadNumber(ToUtf8(text)); });
    connect(request_, &QPlainTextEdit::textChanged, this, [this] {
        settings_.httpRequest = RequestFromBoxText(ToBytes(request_->toPlainText()));
        if (settings_.httpRequest.size() > kHttpTextCapacity)
            settings_.httpRequest.resize(kHttpTextCapacity);
    });
    connect(generate_, &QPushButton::clicked, this, [this] { GenerateRequest(); });

    UpdateEnabling();
    host_->setFocus();
    resize(420, 320);
}

void TcpClientDialog::UpdateEnabling() {
    request_->setEnabled(http_->isChecked());
    generate_->setEnabled(http_->isChecked());
    protocol_->setEnabled(secure_->isChecked());
}

void TcpClientDialog::GenerateRequest() {
    const std::string request = GenerateHttpRequest(ToUtf8(host_->text()));
    request_->setPlainText(FromBytes(RequestToBoxText(request)));
    settings_.httpRequest = request;
}

void TcpClientDialog::accept() {
    settings_.host = TrimmedUtf8(host_->text());
    settings_.port = TrimmedUtf8(port_->text());
    settings_.inUse = true;
    settings_.timeout = ReadNumber(ToUtf8(timeout_->text()));
    QDialog::accept();
}

}  // namespace ostrel
