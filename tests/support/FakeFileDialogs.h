#pragma once

#include "dialogs/FileDialogs.h"

#include <QList>
#include <QString>

#include <deque>

// Answers file dialogs with names queued by the test; an empty queue answers as a cancel.
class FakeFileDialogs : public FileDialogs {
public:
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;

    void queueFileName(const QString& name) { m_names.push_back(name); }

    QList<FileDialogRequest> opened;
    QList<FileDialogRequest> saved;

private:
    QString next();
    std::deque<QString> m_names;
};

class InstalledFakeFileDialogs : public FakeFileDialogs {
public:
    InstalledFakeFileDialogs() : m_scope(*this) {}

private:
    ScopedFileDialogs m_scope;
};
