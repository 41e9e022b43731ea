#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// What a program run as a child process left: its exit code (-1 when it crashed or was killed after
// a minute) and everything it wrote.
struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome RunProgram(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
