#pragma once

#include <QString>

#include <utility>

class QWidget;

// The text of the application's error box: a full stop is appended when the last character's code
// comes after '.', so "Disk full" reads "Disk full." while "Done." and "Stop!" stay as they are.
QString WithFullStop(const QString& text);

// The text of the exception being handled: an AppError's text, another exception's what(), or a
// generic text for anything else. Call it only inside a catch block.
QString CurrentFailureText();

// Shows the exception being handled in the application's error box: an AppError's text, another
// exception's what(), or a generic text for anything else. Call it only inside a catch block.
void ShowFailure(QWidget* parent);

// Runs a command; a failure that escapes it is shown in the error box and goes no further, so
// nothing unwinds through the toolkit's event dispatch.
template <typename Command>
void RunGuarded(QWidget* parent, Command&& command)
{
    try {
        std::forward<Command>(command)();
    } catch (...) {
        ShowFailure(parent);
    }
}
