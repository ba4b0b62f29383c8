#include "terminal/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QUrl>

#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/polling_dialog.h"
#include "terminal/dialogs/qt_file_choice.h"
#include "terminal/dialogs/remote_meta_dialog.h"
#include "terminal/dialogs/session_dialogs.h"
#include "terminal/remote/panel_layout.h"
#include "terminal/window/caps_lock.h"

namespace ostrel {
namespace {

constexpr const char* kStatusTips[] = {"Port Configuration",     "Control System Mode",
                                       "View as Text or Hex",    "Line Terminator",
                                       "Local and/or Remote Echo", "Caps Lock"};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMMAIN_CLASS"));
    setWindowTitle(QStringLiteral("Ostrel"));
    createPanes();
    createMenus();
    createStatusBar();
    placeCentred();
    moveSizeSettled_.setSingleShot(true);
    moveSizeSettled_.setInterval(kMoveSizeSettleMs);
    connect(&moveSizeSettled_, &QTimer::timeout, this, [this] {
        if (controller_ != nullptr && isVisible()) controller_->OnMoveSizeEnd();
    });
}

MainWindow::~MainWindow() = default;

void MainWindow::createPanes() {
    auto* central = new QWidget(this);
    pane_ = new OutputView(central);
    pane_->setObjectName(QStringLiteral("output"));
    pane_->resize(600, 196);
    input_ = new InputLine(central);
    input_->setMinimumHeight(24);
    send_ = new QPushButton(QStringLiteral("Sen&d"), central);
    send_->setObjectName(QStringLiteral("send"));
    send_->setFixedSize(80, 24);
    const QFont font = TerminalFont();
    pane_->setFont(font);
    input_->setFont(font);

    auto* layout = new QGridLayout(central);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->setSpacing(4);
    layout->addWidget(pane_, 0, 0, 1, 2);
    layout->addWidget(input_, 1, 0);
    layout->addWidget(send_, 1, 1);
    layout->setRowStretch(0, 1);
    layout->setColumnStretch(0, 1);
    setCentralWidget(central);

    connect(input_, &QLineEdit::returnPressed, this, [this] {
        if (controller_ != nullptr) controller_->OnSend();
    });
    connect(send_, &QPushButton::clicked, this, [this] {
        if (controller_ != nullptr) controller_->OnSend();
        input_->setFocus();
    });
    input_->onOlder = [this] {
        if (controller_ != nullptr) controller_->OnBrowseOlder();
    };
    input_->onNewer = [this] {
        if (controller_ != nullptr) controller_->OnBrowseNewer();
    };
}

void MainWindow::createMenus() {
    QList<QKeySequence> menuKeys;
    for (const MenuDefinition& definition : MainMenus()) {
        QMenu* menu = menuBar()->addMenu(FromUtf8(definition.title));
        menu->setObjectName(QString::number(static_cast<int>(definition.id)));
        for (const MenuItem& item : definition.items) {
            auto* action = new QAction(QString::fromStdString(MenuLabel(item.text, false)), this);
            action->setObjectName(QString::number(static_cast<int>(item.id)));
            const std::string_view accelerator = MenuAccelerator(item.text);
            if (!accelerator.empty()) {
                const QKeySequence key(FromUtf8(accelerator));
                action->setShortcut(key);
                action->setShortcutContext(Qt::WindowShortcut);
                menuKeys << key;
            }
            const CommandId id = item.id;
            connect(action, &QAction::triggered, this, [this, id] {
                if (controller_ != nullptr) controller_->Dispatch(id);
            });
            menu->addAction(action);
            addAction(action);  // shortcuts work while the menu bar is closed
            if (item.separatorAfter) menu->addSeparator();
            actions_[id] = action;
        }
    }
    // Items with a check mark.
    for (CommandId id : {CommandId::ModeNoConversion, CommandId::ModeAmx, CommandId::ModeCrestron,
                         CommandId::ModeExtron, CommandId::EchoLocal, CommandId::EchoRemote,
                         CommandId::Log, CommandId::Polling, CommandId::ViewText,
                         CommandId::ViewHex, CommandId::TerminateCrLf, CommandId::TerminateCr,
                         CommandId::TerminateLf, CommandId::NoTerminator})
        actions_[id]->setCheckable(true);
    input_->SetMenuKeys(menuKeys);
}

void MainWindow::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(false);
    for (int part = 0; part < 6; ++part) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("status%1").arg(part));
        label->setToolTip(QString::fromLatin1(kStatusTips[part]));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (part == 0) {
            bar->addWidget(label, 1);
        } else {
            label->setFixedWidth(kStatusPartWidths[static_cast<std::size_t>(part - 1)]);
            bar->addPermanentWidget(label);
        }
        statusParts_[static_cast<std::size_t>(part)] = label;
    }
}

void MainWindow::placeCentred() {
    resize(624, 316);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void MainWindow::Attach(AppController& controller) {
    controller_ = &controller;
}

QAction* MainWindow::Action(CommandId id) const {
    const auto it = actions_.find(id);
    return it != actions_.end() ? it->second : nullptr;
}

QLabel* MainWindow::StatusPart(int part) const {
    return part >= 0 && part < 6 ? statusParts_[static_cast<std::size_t>(part)] : nullptr;
}

QString MainWindow::StatusPartText(int part) const {
    const QLabel* label = StatusPart(part);
    return label != nullptr ? label->text() : QString();
}

bool MainWindow::TimerActive(TimerId id) const {
    const auto it = timers_.find(id);
    return it != timers_.end() && it->second.isActive();
}

void MainWindow::SetStatusPart(int part, std::string_view text) {
    QLabel* label = StatusPart(part);
    if (label == nullptr) return;
    // A leading tab centres the text, as in a Windows status bar.
    const bool centred = !text.empty() && text.front() == '\t';
    if (centred) text.remove_prefix(1);
    label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    label->setText(FromUtf8(text));
}

void MainWindow::SetCommandChecked(CommandId id, bool checked) {
    if (QAction* action = Action(id)) action->setChecked(checked);
}

void MainWindow::SetCommandEnabled(CommandId id, bool enabled) {
    if (QAction* action = Action(id)) action->setEnabled(enabled);
}

void MainWindow::StartTimer(TimerId id, int milliseconds) {
    timers_[id].start(milliseconds, this);
}

void MainWindow::StopTimer(TimerId id) {
    const auto it = timers_.find(id);
    if (it != timers_.end()) it->second.stop();
}

void MainWindow::timerEvent(QTimerEvent* event) {
    for (auto& [id, timer] : timers_) {
        if (timer.timerId() != event->timerId()) continue;
        if (controller_ != nullptr) controller_->OnTimer(id);
        return;
    }
    QMainWindow::timerEvent(event);
}

void MainWindow::ShowMessageBox(std::string_view title, std::string_view text, MessageIcon icon) {
    QMessageBox::Icon shown = QMessageBox::Information;
    if (icon == MessageIcon::Stop) shown = QMessageBox::Critical;
    if (icon == MessageIcon::Exclamation) shown = QMessageBox::Warning;
    QMessageBox box(shown, FromUtf8(title), FromUtf8(text), QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::RepaintPane() {
    pane_->viewport()->repaint();
}

void MainWindow::FocusInput() {
    input_->setFocus();
}

void MainWindow::EditFocused(EditAction action) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == pane_ || focus == pane_->viewport()) {
        // The pane is read-only: it can be selected, copied and cleared.
        switch (action) {
            case EditAction::SelectAll: pane_->SelectAll(); break;
            case EditAction::Copy: pane_->CopySelection(); break;
            case EditAction::Clear: pane_->ClearText(); break;
            case EditAction::Cut:
            case EditAction::Paste: break;
        }
        return;
    }
    auto* edit = qobject_cast<QLineEdit*>(focus);
    if (edit == nullptr) return;
    switch (action) {
        case EditAction::SelectAll: edit->selectAll(); break;
        case EditAction::Cut: edit->cut(); break;
        case EditAction::Copy: edit->copy(); break;
        case EditAction::Paste:
            if (auto* dollar = dynamic_cast<DollarLineEdit*>(edit))
                dollar->PasteWithRule();
            else
                edit->paste();
            break;
        case EditAction::Clear: edit->clear(); break;
    }
}

DialogResult MainWindow::ShowSessionDialog(SessionType type, SessionSettings& settings) {
    if (dialogHook_) return dialogHook_(type, settings);
    return ostrel::ShowSessionDialog(this, type, settings);
}

void MainWindow::ShowSessionMetaDialog(SessionSettings& settings) {
    ostrel::ShowSessionMetaDialog(this, settings);
}

std::optional<std::string> MainWindow::ChooseFile(const FileChoice& choice) {
    if (fileDialogHook_) return fileDialogHook_(choice);
    return RunFileDialog(this, choice);
}

DialogResult MainWindow::ShowPollingDialog(Polling& polling) {
    if (pollingDialogHook_) return pollingDialogHook_(polling);
    return RunPollingDialog(this, polling) ? DialogResult::Confirmed : DialogResult::Cancelled;
}

WindowRect MainWindow::Geometry() const {
    // The frame's position and the size inside it: what move() and resize() take.
    const QRect frame = frameGeometry();
    return {frame.left(), frame.top(), width(), height()};
}

void MainWindow::MoveWindow(int left, int top) {
    move(left, top);
}

void MainWindow::ResizeWindow(int width, int height) {
    resize(width, height);
}

void MainWindow::MaximizeWindow() {
    setWindowState(windowState() | Qt::WindowMaximized);
}

bool MainWindow::WindowMaximized() const {
    return isMaximized();
}

bool MainWindow::WindowMinimized() const {
    return isMinimized();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Shown by the program (not the desktop restoring a minimized window).
    if (!event->spontaneous() && controller_ != nullptr) controller_->OnWindowShown();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible() && !closed_) moveSizeSettled_.start();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isVisible() && !closed_) moveSizeSettled_.start();
}

void MainWindow::ShowRemotePanel(RemoteDefinition& panel) {
    if (remotePanel_ != nullptr) remotePanel_->Dismiss();
    RemotePanelWindow::Events events;
    events.press = [this](int k) {
        if (controller_ != nullptr) controller_->OnPanelPress(k);
    };
    events.release = [this](int k) {
        if (controller_ != nullptr) controller_->OnPanelRelease(k);
    };
    events.rightPress = [this](int k) {
        if (controller_ != nullptr) controller_->OnPanelRightPress(k);
    };
    events.closed = [this] {
        if (controller_ != nullptr) controller_->CloseRemotePanel();
    };
    remotePanel_ = new RemotePanelWindow(panel, std::move(events), this);
    const QScreen* screen = this->screen();
    const int screenLeft = screen != nullptr ? screen->availableGeometry().left() : 0;
    const QRect frame = frameGeometry();
    const WindowRect place =
        PanelPlacement({frame.left(), frame.top(), frame.width(), frame.height()}, screenLeft,
                       PanelWidth(panel), PanelHeight(panel));
    remotePanel_->move(place.left, place.top);
    remotePanel_->show();
}

void MainWindow::RefreshRemotePanel(bool editorOpen) {
    if (remotePanel_ != nullptr) remotePanel_->Refresh(editorOpen);
    if (remoteEditor_ != nullptr) remoteEditor_->RefreshPreview();
}

void MainWindow::CloseRemotePanel() {
    if (remotePanel_ != nullptr) remotePanel_->Dismiss();
    remotePanel_ = nullptr;
}

std::optional<WindowRect> MainWindow::RemotePanelGeometry() const {
    if (remotePanel_ == nullptr) return std::nullopt;
    const QRect frame = remotePanel_->frameGeometry();
    return WindowRect{frame.left(), frame.top(), remotePanel_->width(), remotePanel_->height()};
}

bool MainWindow::ShowRemoteEditor(RemoteDefinition& panel, RemoteEditorHost& host, int selection) {
    // A closed editor lingers hidden until it is deleted: a new one takes its place.
    if (remoteEditor_ == nullptr || remoteEditor_->isHidden()) {
        remoteEditor_ = new RemoteEditorDialog(panel, host, selection, this);
        remoteEditor_->show();
    } else {
        remoteEditor_->LoadButton(selection);
    }
    remoteEditor_->raise();
    return true;
}

void MainWindow::CloseRemoteEditor() {
    if (remoteEditor_ != nullptr) remoteEditor_->Dismiss();
    remoteEditor_ = nullptr;
}

void MainWindow::ShowRemoteMetaDialog(RemoteDefinition& panel) {
    RemoteMetaDialog dialog(panel, this);
    dialog.exec();
}

void MainWindow::Beep() {
    QApplication::beep();
}

bool MainWindow::StartNewInstance(const std::vector<std::string>& arguments) {
    QStringList list;
    for (const std::string& argument : arguments)
        list << QString::fromStdString(argument);
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), list);
}

bool MainWindow::OpenInBrowser(const std::string& address) {
    const QString text = QString::fromStdString(address);
    const QUrl url = text.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(text)
                                                        : QUrl::fromUserInput(text);
    return QDesktopServices::openUrl(url);
}

bool MainWindow::CapsLockOn() const {
    return CapsLockState();
}

void MainWindow::CloseWindow() {
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    for (auto& [id, timer] : timers_)
        timer.stop();
    moveSizeSettled_.stop();
    if (controller_ != nullptr && !closed_) {
        controller_->OnWindowDestroyed();
        controller_->OnWindowClosing();
    }
    closed_ = true;
    event->accept();
}

}  // namespace ostrel
