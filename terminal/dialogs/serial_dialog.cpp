#include "terminal/dialogs/serial_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "terminal/dialogs/dialog_kit.h"

namespace ostrel {
namespace {

QComboBox* MakeList(QDialog& dialog, const QString& name, const QStringList& items,
                    const QString& initial) {
    auto* list = new QComboBox(&dialog);
    list->setObjectName(name);
    list->addItems(items);
    list->setCurrentText(initial);
    return list;
}

}  // namespace

SerialDialog::SerialDialog(SessionSettings& settings, const std::vector<std::string>& ports,
                           QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMSERIAL_CLASS"));
    setWindowTitle(QStringLiteral("New Serial Session"));
    setModal(true);
    ApplyDialogFont(*this);

    QStringList portNames;
    for (const std::string& port : ports)
        portNames << FromUtf8(port);
    QStringList bauds;
    for (const char* baud : kBaudRates)
        bauds << QString::fromLatin1(baud);

    port_ = MakeList(*this, QStringLiteral("port"), portNames, portNames.value(0));
    // A device path can also be typed, for ports the machine does not list (a pty, say).
    port_->setEditable(true);
    port_->lineEdit()->setMaxLength(static_cast<int>(kSerialPortCapacity));
    baud_ = MakeList(*this, QStringLiteral("baud"), bauds, QStringLiteral("9600"));
    parity_ = MakeList(*this, QStringLiteral("parity"),
                       {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                        QStringLiteral("Mark"), QStringLiteral("Space")},
                       QStringLiteral("None"));
    dataBits_ = MakeList(*this, QStringLiteral("dataBits"),
                         {QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                          QStringLiteral("7"), QStringLiteral("8")},
                         QStringLiteral("8"));
    stopBits_ = MakeList(*this, QStringLiteral("stopBits"),
                         {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")},
                         QStringLiteral("1"));
    flow_ = MakeList(*this, QStringLiteral("flow"),
                     {QStringLiteral("None"), QStringLiteral("Hardware"),
                      QStringLiteral("Software (Xon/Xoff)")},
                     QStringLiteral("None"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QStringLiteral("Baud Rate"), baud_);
    form->addRow(QStringLiteral("Parity"), parity_);
    form->addRow(QStringLiteral("Data Bits"), dataBits_);
    form->addRow(QStringLiteral("Stop Bits"), stopBits_);
    form->addRow(QStringLiteral("Handshaking"), flow_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(MakeOkCancelRow(*this));
    port_->setFocus();
}

void SerialDialog::accept() {
    settings_.type = SessionType::Serial;
    settings_.inUse = true;
    settings_.baud = ReadNumber(ToUtf8(baud_->currentText()));
    settings_.parity = static_cast<Parity>(std::max(parity_->currentIndex(), 0));
    settings_.dataBits = static_cast<std::uint16_t>(ReadNumber(ToUtf8(dataBits_->currentText())));
    settings_.stopBits = static_cast<StopBits>(std::max(stopBits_->currentIndex(), 0));
    settings_.serialPort = TrimmedUtf8(port_->currentText());
    settings_.flow = static_cast<FlowControl>(std::max(flow_->currentIndex(), 0));
    QDialog::accept();
}

}  // namespace ostrel
