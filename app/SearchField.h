#pragma once

#include <QLineEdit>

// A one-line search field: Esc clears it, and Down, Return or Enter hand the keyboard on to
// whatever shows the results (leaveWanted).
class SearchField : public QLineEdit {
    Q_OBJECT

public:
    explicit SearchField(QWidget* parent = nullptr);

Q_SIGNALS:
    void leaveWanted();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
