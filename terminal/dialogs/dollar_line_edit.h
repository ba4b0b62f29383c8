// A one-line edit box for text in the dollar syntax: a paste (keyboard, context menu or the Edit
// menu) inserts the clipboard text with its line breaks as "$0D$0A", and the box can select its
// whole text when it receives the focus, as the dialogs' boxes do.
#pragma once

#include <QLineEdit>

namespace ostrel {

class DollarLineEdit : public QLineEdit {
public:
    explicit DollarLineEdit(QWidget* parent = nullptr);

    void SetSelectAllOnFocus(bool on) { selectAllOnFocus_ = on; }
    // Inserts the clipboard's text at the selection under the paste rule.
    void PasteWithRule();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool selectAllOnFocus_ = false;
};

}  // namespace ostrel
