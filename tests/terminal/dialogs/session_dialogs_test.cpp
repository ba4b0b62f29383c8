// The new-session dialogs on Qt's offscreen platform: what they show when they open, what they
// write into the record, and what Cancel leaves alone.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/port_dialog.h"
#include "terminal/dialogs/serial_dialog.h"
#include "terminal/dialogs/session_dialogs.h"
#include "terminal/dialogs/session_meta_dialog.h"
#include "terminal/dialogs/ssh_client_dialog.h"
#include "terminal/dialogs/tcp_client_dialog.h"
#include "terminal/dialogs/udp_client_dialog.h"
#include "terminal/session/http_request.h"

namespace ostrel {
namespace {

template <typename T>
T* Child(QWidget& dialog, const char* name) {
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(TcpClientDialog, OpensWithTheRecordAndDefaults) {
    SessionSettings s;
    s.host = "10.0.0.5";
    s.timeout = 7;
    s.secure = true;
    s.tlsChoice = TlsChoice::Tls10;
    TcpClientDialog dialog(s);
    EXPECT_EQ(dialog.windowTitle(), "New TCP Client");
    EXPECT_EQ(Child<QLineEdit>(dialog, "host")->text(), "10.0.0.5");
    EXPECT_EQ(Child<QLineEdit>(dialog, "port")->text(), "23");  // empty port
    EXPECT_EQ(Child<QLineEdit>(dialog, "timeout")->text(), "7");
    EXPECT_FALSE(Child<QPlainTextEdit>(dialog, "request")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(dialog, "generate")->isEnabled());
    EXPECT_TRUE(Child<QComboBox>(dialog, "protocol")->isEnabled());
    EXPECT_EQ(Child<QComboBox>(dialog, "protocol")->currentText(), "TLS 1.0");
    QStringList choices;
    for (int i = 0; i < Child<QComboBox>(dialog, "protocol")->count(); ++i)
        choices << Child<QComboBox>(dialog, "protocol")->itemText(i);
    EXPECT_EQ(choices, (QStringList{"Auto", "SSL 2.0 / SSL 3.0", "TLS 1.0"}));
}

TEST(TcpClientDialog, EditsApplyAsTypedAndOkStoresHostAndPort) {
    SessionSettings s;
    s.port = "4998";
    TcpClientDialog dialog(s);
    Child<QLineEdit>(dialog, "host")->setText(QStringLiteral("  projector  "));
    Child<QLineEdit>(dialog, "timeout")->setText(QStringLiteral("9s"));
    EXPECT_EQ(s.timeout, 9);  // at once
    Child<QCheckBox>(dialog, "http")->click();
    EXPECT_TRUE(s.httpMode);
    EXPECT_TRUE(Child<QPlainTextEdit>(dialog, "request")->isEnabled());
    Child<QPushButton>(dialog, "generate")->click();
    EXPECT_EQ(s.httpRequest, GenerateHttpRequest("projector"));
    EXPECT_NE(Child<QPlainTextEdit>(dialog, "request")->toPlainText().indexOf("Host: projector\n"), -1);
    // Typing in the box keeps CR LF line breaks in the record.
    Child<QPlainTextEdit>(dialog, "request")->setPlainText(QStringLiteral("GET /a HTTP/1.0\n\n"));
    EXPECT_EQ(s.httpRequest, "GET /a HTTP/1.0\r\n\r\n");
    // Unchecking keeps the text, clears the flag, disables the box.
    Child<QCheckBox>(dialog, "http")->click();
    EXPECT_FALSE(s.httpMode);
    EXPECT_FALSE(Child<QPlainTextEdit>(dialog, "request")->isEnabled());
    EXPECT_EQ(s.httpRequest, "GET /a HTTP/1.0\r\n\r\n");
    Child<QCheckBox>(dialog, "secure")->click();
    Child<QComboBox>(dialog, "protocol")->setCurrentIndex(1);
    EXPECT_TRUE(s.secure);
    EXPECT_EQ(s.tlsChoice, TlsChoice::Ssl2Ssl3);
    EXPECT_FALSE(s.inUse);
    Child<QPushButton>(dialog, "ok")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(s.host, "projector");
    EXPECT_EQ(s.port, "4998");
    EXPECT_TRUE(s.inUse);
}

TEST(TcpClientDialog, CancelLeavesTheSessionUnconfirmed) {
    SessionSettings s;
    TcpClientDialog dialog(s);
    Child<QLineEdit>(dialog, "host")->setText(QStringLiteral("elsewhere"));
    Child<QPushButton>(dialog, "cancel")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(s.inUse);
    EXPECT_EQ(s.host, "");
}

TEST(SessionDialogs, PortDialogsHostDialogAndSshDialog) {
    struct Case {
        SessionType type;
        QString title;
        std::string defaultPort;
    };
    for (const Case& c : {Case{SessionType::TcpServer, "New TCP Server", "23"},
                          Case{SessionType::UdpServer, "New UDP Server", "23"}}) {
        SessionSettings s;
        PortDialog dialog(c.type, s);
        EXPECT_EQ(dialog.windowTitle(), c.title);
        EXPECT_EQ(Child<QLineEdit>(dialog, "port")->text().toStdString(), c.defaultPort);
        Child<QLineEdit>(dialog, "port")->setText(QStringLiteral(" 5000 "));
        Child<QPushButton>(dialog, "ok")->click();
        EXPECT_EQ(s.port, "5000");
        EXPECT_TRUE(s.inUse);
        PortDialog again(c.type, s);
        Child<QPushButton>(again, "cancel")->click();
        EXPECT_FALSE(s.inUse);
    }

    SessionSettings udp;
    UdpClientDialog client(udp);
    EXPECT_EQ(client.windowTitle(), "New UDP Client");
    EXPECT_EQ(Child<QLineEdit>(client, "port")->text(), "23");
    Child<QLineEdit>(client, "timeout")->setText(QStringLiteral("3"));
    EXPECT_EQ(udp.timeout, 3);
    Child<QLineEdit>(client, "host")->setText(QStringLiteral(" 10.1.1.1 "));
    Child<QPushButton>(client, "ok")->click();
    EXPECT_EQ(udp.host, "10.1.1.1");
    EXPECT_EQ(udp.port, "23");
    EXPECT_TRUE(udp.inUse);

    SessionSettings ssh;
    SshClientDialog secure(ssh);
    EXPECT_EQ(secure.windowTitle(), "New Secure Shell Client");
    EXPECT_EQ(Child<QLineEdit>(secure, "port")->text(), "22");
    EXPECT_EQ(Child<QLineEdit>(secure, "password")->echoMode(), QLineEdit::Password);
    Child<QLineEdit>(secure, "login")->setText(QStringLiteral(" admin "));
    Child<QLineEdit>(secure, "password")->setText(QStringLiteral(" s3cret "));
    Child<QPushButton>(secure, "ok")->click();
    EXPECT_EQ(ssh.sshUser, "admin");
    EXPECT_EQ(ssh.sshPassword, "s3cret");
    EXPECT_EQ(ssh.port, "22");
    EXPECT_TRUE(ssh.inUse);
}

TEST(SessionDialogs, EveryPortBoxTakesOnlyPorts) {
    struct Port {
        const char* typed;
        bool accepted;
    };
    const Port ports[] = {{"1", true},      {" 8080", true},  {"65535", true}, {"0", false},
                          {"65536", false}, {"99999", false}, {"80x", false},  {"-1", false},
                          {"", false},      {"0080", true}};
    // Each dialog with a port box; OK keeps it open until the port is a port.
    const std::function<std::unique_ptr<QDialog>(SessionSettings&)> dialogs[] = {
        [](SessionSettings& s) { return std::make_unique<TcpClientDialog>(s); },
        [](SessionSettings& s) { return std::make_unique<UdpClientDialog>(s); },
        [](SessionSettings& s) { return std::make_unique<SshClientDialog>(s); },
        [](SessionSettings& s) { return std::make_unique<PortDialog>(SessionType::TcpServer, s); },
        [](SessionSettings& s) { return std::make_unique<PortDialog>(SessionType::UdpServer, s); },
    };
    for (const auto& make : dialogs) {
        for (const Port& port : ports) {
            SessionSettings s;
            s.port = "23";
            const std::unique_ptr<QDialog> dialog = make(s);
            SCOPED_TRACE(dialog->windowTitle().toStdString() + " port '" + port.typed + "'");
            dialog->show();
            Child<QLineEdit>(*dialog, "port")->setText(QString::fromLatin1(port.typed));
            Child<QPushButton>(*dialog, "ok")->click();
            EXPECT_EQ(dialog->result() == QDialog::Accepted, port.accepted);
            EXPECT_EQ(s.inUse, port.accepted);
            EXPECT_EQ(s.port, port.accepted ? std::string(TrimBlanks(port.typed)) : "23");
            EXPECT_EQ(Child<QLabel>(*dialog, "portRule")->isVisible(), !port.accepted);
            if (!port.accepted) {
                EXPECT_EQ(Child<QLabel>(*dialog, "portRule")->text(),
                          "The port is a number from 1 to 65535.");
            }
        }
    }
}

TEST(SessionDialogs, SerialDialogListsAndChooses) {
    SessionSettings s;
    SerialDialog dialog(s, {"/dev/ttyUSB0", "/dev/ttyUSB1"});
    EXPECT_EQ(dialog.windowTitle(), "New Serial Session");
    EXPECT_EQ(Child<QComboBox>(dialog, "port")->currentText(), "/dev/ttyUSB0");
    EXPECT_EQ(Child<QComboBox>(dialog, "baud")->currentText(), "9600");
    EXPECT_EQ(Child<QComboBox>(dialog, "baud")->count(), 13);
    EXPECT_EQ(Child<QComboBox>(dialog, "parity")->currentText(), "None");
    EXPECT_EQ(Child<QComboBox>(dialog, "dataBits")->currentText(), "8");
    EXPECT_EQ(Child<QComboBox>(dialog, "stopBits")->currentText(), "1");
    EXPECT_EQ(Child<QComboBox>(dialog, "flow")->itemText(2), "Software (Xon/Xoff)");
    Child<QComboBox>(dialog, "port")->setCurrentIndex(1);
    Child<QComboBox>(dialog, "baud")->setCurrentText(QStringLiteral("921600"));
    Child<QComboBox>(dialog, "parity")->setCurrentIndex(4);
    Child<QComboBox>(dialog, "dataBits")->setCurrentText(QStringLiteral("7"));
    Child<QComboBox>(dialog, "stopBits")->setCurrentIndex(2);
    Child<QComboBox>(dialog, "flow")->setCurrentIndex(1);
    Child<QPushButton>(dialog, "ok")->click();
    EXPECT_EQ(s.type, SessionType::Serial);
    EXPECT_TRUE(s.inUse);
    EXPECT_EQ(s.serialPort, "/dev/ttyUSB1");
    EXPECT_EQ(s.baud, 921600);
    EXPECT_EQ(s.parity, Parity::Space);
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.stopBits, StopBits::Two);
    EXPECT_EQ(s.flow, FlowControl::Hardware);
}

TEST(SessionDialogs, NoSerialPortIsAPortErrorBox) {
    SessionSettings s;
    QString title, text;
    QTimer::singleShot(0, [&] {
        QWidget* box = nullptr;
        while ((box = QApplication::activeModalWidget()) == nullptr)
            QCoreApplication::processEvents();
        auto* message = qobject_cast<QMessageBox*>(box);
        ASSERT_NE(message, nullptr);
        title = message->windowTitle();
        text = message->text();
        EXPECT_EQ(message->icon(), QMessageBox::Critical);
        message->accept();
    });
    EXPECT_EQ(ShowSerialDialog(nullptr, s, {}), DialogResult::Cancelled);
    EXPECT_EQ(title, "Port Error!");
    EXPECT_EQ(text, "No serial ports are currently available...");
    EXPECT_FALSE(s.inUse);
}

TEST(SessionDialogs, MetaDataStoresTheTrimmedComment) {
    SessionSettings s;
    s.comment = "  Room 101 projector  ";
    SessionMetaDialog dialog(s);
    auto* comment = Child<QPlainTextEdit>(dialog, "comment");
    EXPECT_EQ(comment->toPlainText(), "Room 101 projector");
    comment->setPlainText(QStringLiteral("  line one\nline two  "));
    EXPECT_EQ(s.comment, "line one\r\nline two");
}

TEST(SessionDialogs, BoxesUseThePasteRuleAndSelectOnFocus) {
    SessionSettings s;
    TcpClientDialog dialog(s);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    auto* host = Child<QLineEdit>(dialog, "host");
    QGuiApplication::clipboard()->setText(QStringLiteral("a\nb"));
    host->setFocus();
    QTest::keyClick(host, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(host->text(), "a$0D$0Ab");
    // The request box pastes as it is.
    auto* request = Child<QPlainTextEdit>(dialog, "request");
    Child<QCheckBox>(dialog, "http")->click();
    request->setFocus();
    request->paste();
    EXPECT_EQ(request->toPlainText(), "a\nb");
    Child<QLineEdit>(dialog, "port")->setFocus();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(Child<QLineEdit>(dialog, "port")->selectedText(), "23");
}

}  // namespace
}  // namespace ostrel
