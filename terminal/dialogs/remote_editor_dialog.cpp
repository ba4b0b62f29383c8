#include "terminal/dialogs/remote_editor_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/dollar_line_edit.h"
#include "terminal/dialogs/panel_button.h"

namespace ostrel {
namespace {

constexpr std::size_t kNumberBoxCapacity = 11;

QLabel* Label(QDialog& dialog, const char* text) {
    return new QLabel(QString::fromLatin1(text), &dialog);
}

QPushButton* CommandButton(QDialog& dialog, const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromLatin1(text), &dialog);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

RemoteEditorDialog::RemoteEditorDialog(RemoteDefinition& panel, RemoteEditorHost& host,
                                       int selection, QWidget* owner)
    : QDialog(owner), panel_(panel), host_(host), model_(panel, selection) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMREMOTECONFIG_CLASS"));
    setWindowTitle(QStringLiteral("Remote Control Configificator"));
    setModal(false);
    ApplyDialogFont(*this);
    createFields();
    createCommands();
    connectEdits();
    LoadButton(selection);
}

void RemoteEditorDialog::createFields() {
    formCaption_ = MakeField(*this, QStringLiteral("formCaption"), kRemoteCaptionCapacity, {});
    interval_ = MakeField(*this, QStringLiteral("interval"), kNumberBoxCapacity, {});
    passThrough_ = new QCheckBox(QStringLiteral("Send through AMX(tm) Controller "), this);
    passThrough_->setObjectName(QStringLiteral("passThrough"));
    device_ = MakeField(*this, QStringLiteral("device"), kNetlinxDeviceCapacity, {});
    buttonNumber_ = new QLabel(this);
    buttonNumber_->setObjectName(QStringLiteral("buttonNumber"));
    preview_ = new PanelButton(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setMinimumWidth(80);
    caption_ = MakeField(*this, QStringLiteral("caption"), kButtonCaptionCapacity, {});
    toggle_ = new QCheckBox(QStringLiteral("&Toggle"), this);
    toggle_->setObjectName(QStringLiteral("toggle"));
    altCaption_ = MakeField(*this, QStringLiteral("altCaption"), kButtonCaptionCapacity, {});
    pushString_ = MakeField(*this, QStringLiteral("pushString"), kButtonStringCapacity, {});
    hold_ = new QCheckBox(this);
    hold_->setObjectName(QStringLiteral("hold"));
    repeatString_ = MakeField(*this, QStringLiteral("repeatString"), kButtonStringCapacity, {});
    holdTime_ = MakeField(*this, QStringLiteral("holdTime"), kNumberBoxCapacity, {});
    releaseLabel_ = new QLabel(this);
    releaseLabel_->setObjectName(QStringLiteral("releaseLabel"));
    releaseString_ = MakeField(*this, QStringLiteral("releaseString"), kButtonStringCapacity, {});
    // The strings are device text, in the terminal's font.
    for (QLineEdit* box : {pushString_, repeatString_, releaseString_})
        box->setFont(TerminalFont());

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label(*this, "Form Caption"), 0, 0);
    grid->addWidget(formCaption_, 0, 1, 1, 2);
    grid->addWidget(Label(*this, "Interval (mS)"), 0, 3);
    grid->addWidget(interval_, 0, 4);
    grid->addWidget(passThrough_, 1, 0, 1, 2);
    grid->addWidget(Label(*this, "AMX(tm) Device"), 1, 3);
    grid->addWidget(device_, 1, 4);
    grid->addWidget(buttonNumber_, 2, 0);
    grid->addWidget(preview_, 2, 1);
    grid->addWidget(Label(*this, "Button Caption"), 3, 0);
    grid->addWidget(caption_, 3, 1, 1, 2);
    grid->addWidget(toggle_, 3, 3);
    grid->addWidget(Label(*this, "Alt Caption"), 4, 0);
    grid->addWidget(altCaption_, 4, 1, 1, 2);
    grid->addWidget(Label(*this, "Push String"), 5, 0);
    grid->addWidget(pushString_, 5, 1, 1, 4);
    grid->addWidget(hold_, 6, 0);
    grid->addWidget(repeatString_, 6, 1, 1, 4);
    grid->addWidget(Label(*this, "Hold Time(S/10)"), 7, 0);
    grid->addWidget(holdTime_, 7, 1);
    grid->addWidget(releaseLabel_, 8, 0);
    grid->addWidget(releaseString_, 8, 1, 1, 4);
    grid->setColumnStretch(2, 1);
}

void RemoteEditorDialog::createCommands() {
    auto* commands = new QHBoxLayout;
    auto add = [&](const char* text, const char* name, void (RemoteEditorModel::*command)()) {
        QPushButton* button = CommandButton(*this, text, name);
        connect(button, &QPushButton::clicked, this, [this, command] { Run(command); });
        commands->addWidget(button);
    };
    add("Cu&t", "cut", &RemoteEditorModel::Cut);
    add("&Copy", "copy", &RemoteEditorModel::Copy);
    add("&Paste", "paste", &RemoteEditorModel::Paste);
    add("&Insert", "insert", &RemoteEditorModel::Insert);
    QPushButton* insertRow = CommandButton(*this, "Insert &Row", "insertRow");
    connect(insertRow, &QPushButton::clicked, this, [this] {
        for (const std::string& line : model_.InsertRow())
            host_.ShowInformational(line);
        host_.PanelChanged();
        LoadButton(model_.Selected());
    });
    commands->addWidget(insertRow);
    add("C&lear", "clear", &RemoteEditorModel::Clear);

    auto* moves = new QHBoxLayout;
    const std::pair<const char*, int> steps[] = {
        {"<<", -kRemoteButtonsPerRow}, {"<", -1}, {">", 1}, {">>", kRemoteButtonsPerRow}};
    for (const auto& [text, delta] : steps) {
        QPushButton* button = CommandButton(*this, text, text);
        connect(button, &QPushButton::clicked, this, [this, delta = delta] {
            model_.Move(delta);
            LoadButton(model_.Selected());
        });
        moves->addWidget(button);
    }
    moves->addStretch(1);
    QPushButton* ok = CommandButton(*this, "&OK", "ok");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    moves->addWidget(ok);

    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addLayout(commands, 9, 0, 1, 5);
    grid->addLayout(moves, 10, 0, 1, 5);
}

void RemoteEditorDialog::connectEdits() {
    // textEdited and clicked come from the user only: filling the boxes stores nothing.
    auto edit = [this](QLineEdit* box, auto store, bool showsOnPanel) {
        connect(box, &QLineEdit::textEdited, this,
                [this, store, showsOnPanel](const QString& text) {
                    (model_.*store)(ToBytes(text));
                    if (showsOnPanel) {
                        host_.PanelChanged();
                        RefreshPreview();
                    }
                });
    };
    edit(formCaption_, &RemoteEditorModel::SetPanelCaption, true);
    edit(interval_, &RemoteEditorModel::SetTimerRate, false);
    edit(device_, &RemoteEditorModel::SetDevice, false);
    edit(caption_, &RemoteEditorModel::SetCaption, true);
    edit(altCaption_, &RemoteEditorModel::SetAltCaption, true);
    edit(pushString_, &RemoteEditorModel::SetPushString, false);
    edit(repeatString_, &RemoteEditorModel::SetRepeatString, false);
    edit(releaseString_, &RemoteEditorModel::SetReleaseString, false);
    edit(holdTime_, &RemoteEditorModel::SetHoldTime, false);

    // The caption box shows the caption as stored (trimmed) whenever it is entered.
    formCaption_->installEventFilter(this);

    connect(passThrough_, &QCheckBox::clicked, this, [this](bool on) {
        model_.SetPassThrough(on);
        host_.PassThroughChanged();
        LoadButton(model_.Selected());
    });
    connect(toggle_, &QCheckBox::clicked, this, [this](bool on) {
        model_.SetToggle(on);
        host_.PanelChanged();
        LoadButton(model_.Selected());
    });
    connect(hold_, &QCheckBox::clicked, this, [this](bool on) {
        model_.SetHold(on);
        LoadButton(model_.Selected());
    });
    preview_->onPress = [this] { host_.PreviewPress(model_.Selected()); };
    preview_->onRelease = [this] { host_.PreviewRelease(model_.Selected()); };
}

bool RemoteEditorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == formCaption_ && event->type() == QEvent::FocusIn)
        formCaption_->setText(FromBytes(TrimBlanks(panel_.caption)));
    return QDialog::eventFilter(watched, event);
}

void RemoteEditorDialog::Run(void (RemoteEditorModel::*command)()) {
    (model_.*command)();
    host_.PanelChanged();
    LoadButton(model_.Selected());
}

void RemoteEditorDialog::LoadButton(int index) {
    model_.Select(index);
    const RemoteButton& button = model_.Button();
    const EditorLook look = model_.Look(host_.Mode());
    hold_->setChecked(button.hold != 0);
    hold_->setText(QString::fromLatin1(look.holdCaption.c_str()));
    holdTime_->setEnabled(look.holdTimeEnabled);
    holdTime_->setText(QString::number(button.holdTime));
    buttonNumber_->setText(QString::fromLatin1(look.buttonNumber.c_str()));
    preview_->setText(FromBytes(look.previewLabel));
    formCaption_->setText(FromBytes(TrimBlanks(panel_.caption)));
    interval_->setText(QString::number(panel_.timerRate));
    caption_->setText(FromBytes(button.caption));
    altCaption_->setText(FromBytes(button.altCaption));
    pushString_->setText(FromBytes(button.pushString));
    repeatString_->setText(FromBytes(button.repeatString));
    releaseString_->setText(FromBytes(button.releaseString));
    toggle_->setChecked(button.toggle != 0);
    passThrough_->setChecked(panel_.netlinxPassThrough != 0);
    device_->setText(FromBytes(TrimBlanks(panel_.netlinxDevice)));
    passThrough_->setEnabled(look.passThroughEnabled);
    device_->setEnabled(look.deviceEnabled);
    altCaption_->setEnabled(look.altCaptionEnabled);
    repeatString_->setEnabled(look.repeatStringEnabled);
    releaseLabel_->setText(QString::fromLatin1(look.releaseLabel.c_str()));
}

void RemoteEditorDialog::RefreshPreview() {
    preview_->setText(FromBytes(model_.Look(host_.Mode()).previewLabel));
}

void RemoteEditorDialog::Dismiss() {
    dismissed_ = true;
    hide();
    deleteLater();
}

void RemoteEditorDialog::done(int result) {
    QDialog::done(result);
    if (!dismissed_) {
        dismissed_ = true;
        host_.EditorClosed();
    }
    deleteLater();
}

}  // namespace ostrel
