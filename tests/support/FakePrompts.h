#pragma once

#include "dialogs/Prompts.h"

#include <QList>
#include <QString>

#include <deque>

// Records every box instead of showing it, and answers confirmations from a queue. A confirmation
// with no answer queued is answered No and counted as unexpected.
class FakePrompts : public Prompts {
public:
    struct Shown {
        Kind kind;
        QString text;
        bool operator==(const Shown&) const = default;
    };

    void show(QWidget* parent, Kind kind, const QString& text) override;
    bool confirm(QWidget* parent, const QString& text) override;

    void queueAnswer(bool yes) { m_answers.push_back(yes); }

    QList<Shown> shown;
    QList<QString> questions;
    int unexpectedQuestions = 0;

private:
    std::deque<bool> m_answers;
};

// A FakePrompts installed for as long as it lives.
class InstalledFakePrompts : public FakePrompts {
public:
    InstalledFakePrompts() : m_scope(*this) {}

private:
    ScopedPrompts m_scope;
};
