// "Remote Control Configificator": the modeless editor of the loaded remote panel. Every edit is
// stored in the definition as it is typed (RemoteEditorModel); the host refreshes the panel,
// follows the pass-through flag with the terminator, and runs the preview button with the
// panel's rules.
#pragma once

#include <QDialog>

#include "terminal/remote/remote_editor.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace ostrel {

class PanelButton;

class RemoteEditorDialog final : public QDialog {
public:
    // The definition and host must outlive the dialog, which deletes itself once closed.
    RemoteEditorDialog(RemoteDefinition& panel, RemoteEditorHost& host, int selection,
                       QWidget* owner);

    // LoadButtonIntoEditor: selects the button and fills every box from the definition.
    void LoadButton(int index);
    // The preview button's label again (a toggle button changed state on the panel).
    void RefreshPreview();
    // Closes the editor without telling the host (the panel is going).
    void Dismiss();

    int Selected() const { return model_.Selected(); }
    PanelButton& Preview() { return *preview_; }

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createFields();
    void createCommands();
    void connectEdits();
    // An edit command on the selected button, then the panel and the boxes again.
    void Run(void (RemoteEditorModel::*command)());

    RemoteDefinition& panel_;
    RemoteEditorHost& host_;
    RemoteEditorModel model_;
    bool dismissed_ = false;

    QLineEdit* formCaption_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QCheckBox* passThrough_ = nullptr;
    QLineEdit* device_ = nullptr;
    QLabel* buttonNumber_ = nullptr;
    PanelButton* preview_ = nullptr;
    QLineEdit* caption_ = nullptr;
    QCheckBox* toggle_ = nullptr;
    QLineEdit* altCaption_ = nullptr;
    QLineEdit* pushString_ = nullptr;
    QCheckBox* hold_ = nullptr;
    QLineEdit* repeatString_ = nullptr;
    QLineEdit* holdTime_ = nullptr;
    QLabel* releaseLabel_ = nullptr;
    QLineEdit* releaseString_ = nullptr;
};

}  // namespace ostrel
