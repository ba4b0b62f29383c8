// Small pieces the dialogs use, and the window with them: the fonts, the "&OK" / "&Cancel" row,
// and conversions between the record's byte strings and the boxes' text.
#pragma once

#include <QFont>
#include <QString>

#include <string>
#include <string_view>

class QDialog;
class QWidget;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ostrel {

class DollarLineEdit;

// "MS Sans Serif" at 8 points (height -11 at 96 dots per inch), or the closest sans-serif font,
// for a dialog or a window of buttons.
void ApplyDialogFont(QWidget& dialog);
// The font of the output pane, the input box and every box that holds device text: "Courier
// New" at 12 points, or the system's fixed-pitch font at 12 points where that is not there.
QFont TerminalFont();

// A row with "&OK" (the default button, accepting) and "&Cancel" (rejecting).
QHBoxLayout* MakeOkCancelRow(QDialog& dialog, QPushButton** ok = nullptr,
                             QPushButton** cancel = nullptr);

// A row with an accepting button of the given caption (the default button, object name
// acceptName) and "&Cancel" (rejecting): the tool and colour dialogs.
QHBoxLayout* MakeActionCancelRow(QDialog& dialog, const QString& caption,
                                 const QString& acceptName);

// A box that selects its whole text when it receives the focus, limited to capacity characters.
DollarLineEdit* MakeField(QDialog& dialog, const QString& objectName, std::size_t capacity,
                          const QString& text);

// Names, addresses and passwords are UTF-8; texts that travel to a device (requests, comments)
// are 8-bit, one byte per character of the terminal's set (Windows-1252; characters it lacks
// become "?").
QString FromUtf8(std::string_view text);
std::string ToUtf8(const QString& text);
QString FromBytes(std::string_view bytes);
std::string ToBytes(const QString& text);
// A line under a port box saying which ports there are, hidden until CheckPort shows it.
QLabel* MakePortRuleLabel(QDialog& dialog);
// Whether the port box holds a port (1-65535); when not, shows the rule label and puts the
// focus into the box with its text selected, so OK keeps the dialog open.
bool CheckPort(QLineEdit& port, QLabel& rule);

// A box's text trimmed of blanks, as the record stores it.
std::string TrimmedUtf8(const QString& text);

}  // namespace ostrel
