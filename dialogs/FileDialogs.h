#pragma once

#include "model/Seam.h"

#include <QString>

class QWidget;

// What an open or save dialog shows. The filter uses Qt's form: "Backup files (*.bak);;All files (*)".
struct FileDialogRequest {
    QString title;
    QString filter;
    QString defaultExtension;  // without the dot; added to a typed name that has none
    QString initialPath;       // a directory, or a file name to propose
};

// File open and save dialogs. An empty result means the user cancelled. A save dialog asks before
// it lets the user pick a file that exists.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
};

class DesktopFileDialogs : public FileDialogs {
public:
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
};

// The file dialogs in use: the desktop's unless a test has installed others.
FileDialogs& fileDialogs();

// Installs file dialogs for as long as it lives; the previous ones come back afterwards.
using ScopedFileDialogs = Seam<FileDialogs>::Scope;
