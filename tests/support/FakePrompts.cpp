#include "support/FakePrompts.h"

void FakePrompts::show(QWidget*, Kind kind, const QString& text)
{
    shown.append(Shown{kind, text});
}

bool FakePrompts::confirm(QWidget*, const QString& text)
{
    questions.append(text);
    if (m_answers.empty()) {
        ++unexpectedQuestions;
        return false;
    }
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}
