#include "dialogs/UserServices.h"

#include <QProcess>

namespace {

// A reload or start answers at once; a service manager that hangs must not hang the window.
constexpr int SystemctlTimeoutMs = 30000;

}  // namespace

UserServices::Outcome SystemdUserServices::systemctl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    if (!process.waitForStarted(SystemctlTimeoutMs))
        return {false, QStringLiteral("systemctl could not be started: %1").arg(process.errorString())};
    process.closeWriteChannel();
    if (!process.waitForFinished(SystemctlTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {false, QStringLiteral("systemctl did not answer within %1 seconds").arg(SystemctlTimeoutMs / 1000)};
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return {true, {}};
    QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (said.isEmpty())
        said = QStringLiteral("systemctl %1 failed with exit status %2")
                   .arg(arguments.join(u' '))
                   .arg(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1);
    return {false, said};
}

UserServices& userServices()
{
    static SystemdUserServices systemd;
    return Seam<UserServices>::current(systemd);
}
