#include "dialogs/FileDialogs.h"

#include <QFileDialog>

namespace {

FileDialogs* g_installed = nullptr;

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
    return g_installed ? *g_installed : desktop;
}

ScopedFileDialogs::ScopedFileDialogs(FileDialogs& replacement) : m_previous(g_installed)
{
    g_installed = &replacement;
}

ScopedFileDialogs::~ScopedFileDialogs()
{
    g_installed = m_previous;
}
