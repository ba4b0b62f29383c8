#include "terminal/dialogs/remote_meta_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "terminal/dialogs/dialog_kit.h"
#include "terminal/session/http_request.h"

namespace ostrel {

RemoteMetaDialog::RemoteMetaDialog(RemoteDefinition& panel, QWidget* parent)
    : QDialog(parent), panel_(panel) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMREMOTEMETA_CLASS"));
    setWindowTitle(QStringLiteral("Remote Meta Data"));
    setModal(true);
    ApplyDialogFont(*this);

    author_ = new QLineEdit(FromBytes(StoredText(panel.author, kRemoteAuthorCapacity)), this);
    author_->setObjectName(QStringLiteral("author"));
    author_->setFont(TerminalFont());
    author_->setMaxLength(static_cast<int>(kRemoteAuthorCapacity));
    comment_ = new QPlainTextEdit(this);
    comment_->setObjectName(QStringLiteral("comment"));
    comment_->setFont(TerminalFont());
    comment_->setPlainText(
        FromBytes(RequestToBoxText(StoredText(panel.comments, kRemoteCommentsCapacity))));

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Author"), this));
    layout->addWidget(author_);
    layout->addWidget(new QLabel(QStringLiteral("Comment"), this));
    layout->addWidget(comment_, 1);
    layout->addLayout(row);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(author_, &QLineEdit::textEdited, this, [this](const QString& text) {
        panel_.author = StoredText(ToBytes(text), kRemoteAuthorCapacity);
    });
    connect(comment_, &QPlainTextEdit::textChanged, this, [this] {
        panel_.comments = StoredText(RequestFromBoxText(ToBytes(comment_->toPlainText())),
                                     kRemoteCommentsCapacity);
    });
    resize(420, 260);
}

}  // namespace ostrel
