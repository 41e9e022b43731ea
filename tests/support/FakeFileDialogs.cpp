#include "support/FakeFileDialogs.h"

QString FakeFileDialogs::openFileName(QWidget*, const FileDialogRequest& request)
{
    opened.append(request);
    return next();
}

QString FakeFileDialogs::saveFileName(QWidget*, const FileDialogRequest& request)
{
    saved.append(request);
    return next();
}

QString FakeFileDialogs::next()
{
    if (m_names.empty())
        return {};
    QString name = m_names.front();
    m_names.pop_front();
    return name;
}
