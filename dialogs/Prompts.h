#pragma once

#include "model/Seam.h"

#include <QString>

class QWidget;

// Message boxes. Every box is modal with one OK button, except the confirmation, which asks Yes or
// No. Code asks through prompts(), so tests can answer in place of the user.
class Prompts {
public:
    enum class Kind {
        Warning,      // title "Warning", warning icon
        Information,  // title "Information", information icon
        Error,        // the application title, error icon
        Plain,        // the application title, no icon
    };

    virtual ~Prompts() = default;
    virtual void show(QWidget* parent, Kind kind, const QString& text) = 0;
    // Title "Confirm", question icon, Yes and No; true for Yes. Closing the box counts as No.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
};

// The message boxes of the desktop.
class DesktopPrompts : public Prompts {
public:
    void show(QWidget* parent, Kind kind, const QString& text) override;
    bool confirm(QWidget* parent, const QString& text) override;
};

// The prompts in use: the desktop's unless a test has installed others.
Prompts& prompts();

// Installs prompts for as long as it lives; the previous ones come back afterwards.
using ScopedPrompts = Seam<Prompts>::Scope;

void ShowWarning(QWidget* parent, const QString& text);
void ShowInformation(QWidget* parent, const QString& text);
void ShowError(QWidget* parent, const QString& text);
void ShowMessage(QWidget* parent, const QString& text);
bool AskConfirm(QWidget* parent, const QString& text);
