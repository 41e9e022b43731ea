#pragma once

#include "model/Seam.h"

#include <QString>

// The desktop shell: hands an address or a file to the program the desktop associates with it.
// Fire and forget: whether a program started is neither checked nor reported.
class Shell {
public:
    virtual ~Shell() = default;
    // A web address; one without a scheme is taken as http.
    virtual void openUrl(const QString& url) = 0;
    // A "mailto:" address, passed on as it is.
    virtual void openMail(const QString& address) = 0;
    // A local file, opened with its associated program.
    virtual void openFile(const QString& path) = 0;
};

class DesktopShell : public Shell {
public:
    void openUrl(const QString& url) override;
    void openMail(const QString& address) override;
    void openFile(const QString& path) override;
};

// The shell in use: the desktop's unless a test has installed another.
Shell& shell();

// Installs a shell for as long as it lives; the previous one comes back afterwards.
using ScopedShell = Seam<Shell>::Scope;
