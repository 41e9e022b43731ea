#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

// Plays the user's part in modal dialogs: each modal dialog that opens while the script lives gets
// the next step, in order. A dialog that opens when no step is left is rejected and counted, so a
// test that expects fewer dialogs fails instead of hanging.
class ModalScript {
public:
    using Step = std::function<void(QDialog&)>;

    ModalScript()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { poll(); });
        m_timer.start();
    }

    ModalScript& then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }

    int unexpected() const { return m_unexpected; }
    bool finished() const { return m_steps.empty(); }

private:
    void poll()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog == m_current)
            return;
        // A dialog gets its focus widget once its window is active; on a loaded machine that can
        // come a few polls after it opened. Wait for it, up to about a second.
        if (!dialog->isActiveWindow() && ++m_activationPolls < 200)
            return;
        m_activationPolls = 0;
        m_current = dialog;
        if (m_steps.empty()) {
            ++m_unexpected;
            dialog->reject();
            return;
        }
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(*dialog);
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QPointer<QDialog> m_current;
    int m_activationPolls = 0;
    int m_unexpected = 0;
};

// The dialog of a step as its own class; null, with the dialog rejected, when it is another one.
template <typename Dialog>
Dialog* As(QDialog& dialog)
{
    auto* typed = qobject_cast<Dialog*>(&dialog);
    if (!typed) {
        ADD_FAILURE() << "an unexpected dialog opened: " << dialog.metaObject()->className();
        dialog.reject();
    }
    return typed;
}
