#include "support/ProgramRun.h"

#include <QProcess>

Outcome RunProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Outcome result;
    // Waiting also reads what the program writes, so a full pipe never blocks it.
    if (!process.waitForFinished(60000))
        process.kill();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
