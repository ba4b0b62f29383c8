#include "terminal/dialogs/qt_file_choice.h"

#include <QDir>
#include <QFileDialog>

namespace ostrel {

std::optional<std::string> RunFileDialog(QWidget* parent, const FileChoice& choice) {
    QFileDialog dialog(parent, QString::fromStdString(choice.title),
                       QString::fromStdString(choice.folder));
    const bool save = choice.kind == FileChoice::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromStdString(choice.filterName + " (" + choice.filterPattern +
                                                ")"));
    dialog.setDefaultSuffix(QString::fromStdString(choice.defaultSuffix));
    if (!choice.initialName.empty()) dialog.selectFile(QString::fromStdString(choice.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().front()).toStdString();
}

}  // namespace ostrel
