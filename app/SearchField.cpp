#include "app/SearchField.h"

#include <QKeyEvent>

SearchField::SearchField(QWidget* parent) : QLineEdit(parent)
{
    setClearButtonEnabled(true);
}

void SearchField::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Escape:
            // An empty field lets Esc go on to the window, as if the field were not there.
            if (text().isEmpty())
                break;
            clear();
            return;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter: Q_EMIT leaveWanted(); return;
        default: break;
        }
    }
    QLineEdit::keyPressEvent(event);
}
