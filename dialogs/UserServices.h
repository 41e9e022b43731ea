#pragma once

#include "model/Seam.h"

#include <QString>
#include <QStringList>

// The user's service manager (systemd's user instance), reached through `systemctl --user`. Code
// asks through userServices(), so that tests never start or stop a real service.
class UserServices {
public:
    struct Outcome {
        bool ok = false;
        QString error;  // why it failed, for a person: what systemctl said, or why it did not run
    };

    virtual ~UserServices() = default;
    // Runs `systemctl --user` with the arguments and waits for it, within a bound.
    virtual Outcome systemctl(const QStringList& arguments) = 0;
};

class SystemdUserServices : public UserServices {
public:
    Outcome systemctl(const QStringList& arguments) override;
};

UserServices& userServices();

// Installs a service manager for as long as it lives; the previous one comes back afterwards.
using ScopedUserServices = Seam<UserServices>::Scope;
