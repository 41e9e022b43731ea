#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

// The entry of a menu-bar menu, by the captions as shown. A missing entry fails the test and gives
// a stray action, so the caller can go on without crashing.
inline QAction* MenuEntry(QMainWindow& window, const QString& menu, const QString& entry)
{
    for (const QAction* top : window.menuBar()->actions()) {
        if (top->text() != menu)
            continue;
        for (QAction* action : top->menu()->actions()) {
            if (action->text() == entry)
                return action;
        }
    }
    ADD_FAILURE() << "no entry " << entry.toStdString() << " in " << menu.toStdString();
    return new QAction(&window);
}
