#include "terminal/dialogs/session_meta_dialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/session/http_request.h"

namespace ostrel {

SessionMetaDialog::SessionMetaDialog(SessionSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMSESSIONMETA_CLASS"));
    setWindowTitle(QStringLiteral("Session Meta Data"));
    setModal(true);
    ApplyDialogFont(*this);

    comment_ = new QPlainTextEdit(this);
    comment_->setObjectName(QStringLiteral("comment"));
    comment_->setFont(TerminalFont());
    comment_->setPlainText(FromBytes(RequestToBoxText(TrimBlanks(settings.comment))));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Comment"), this));
    layout->addWidget(comment_, 1);
    layout->addLayout(MakeOkCancelRow(*this));

    connect(comment_, &QPlainTextEdit::textChanged, this, [this] {
        std::string text = RequestFromBoxText(ToBytes(comment_->toPlainText()));
        settings_.comment = std::string(TrimBlanks(text)).substr(0, kCommentCapacity);
    });
    resize(420, 260);
}

}  // namespace ostrel
