#include "dialogs/FileDialogs.h"

#include <QFileDialog>

namespace {

QString Run(QWidget* parent, const FileDialogRequest& request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.title, request.initialPath, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

QString DesktopFileDialogs::openFileName(QWidget* parent, const FileDialogRequest& request)
{
    return Run(parent, request, QFileDialog::AcceptOpen);
}

QString DesktopFileDialogs::saveFileName(QWidget* parent, const FileDialogRequest& request)
{
    return Run(parent, request, QFileDialog::AcceptSave);
}

FileDialogs& fileDialogs()
{
    static DesktopFileDialogs desktop;
    return Seam<FileDialogs>::current(desktop);
}
