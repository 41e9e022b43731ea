#pragma once

#include <QApplication>

// The application object. Any failure that a command lets escape ends at notify(): it is shown in
// the error box and the message loop goes on.
class QuorvaneApplication : public QApplication {
    Q_OBJECT

public:
    QuorvaneApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
