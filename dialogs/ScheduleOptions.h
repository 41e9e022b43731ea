#pragma once

#include "dialogs/Schedule.h"

#include <QGroupBox>

class QRadioButton;
class QWidget;

// The "Schedule" group of the options dialog: whether quorvane-check runs by itself, for the
// current user, also while the window is closed.
class ScheduleOptions : public QGroupBox {
    Q_OBJECT

public:
    explicit ScheduleOptions(QWidget* parent = nullptr);

    void setValue(ScheduleKind kind);
    ScheduleKind value() const;

    QRadioButton* RBOff() const { return m_rbOff; }
    QRadioButton* RBDaily() const { return m_rbDaily; }
    QRadioButton* RBWeekly() const { return m_rbWeekly; }

    QWidget* firstControl() const;
    QWidget* lastControl() const;

private:
    QRadioButton* m_rbOff;
    QRadioButton* m_rbDaily;
    QRadioButton* m_rbWeekly;
};

// After the dialog was saved: turns the schedule on, over or off when the user changed it. A
// failure is shown in an error box; the other options are saved all the same.
void SaveSchedule(QWidget* parent, ScheduleKind kind, ScheduleKind before);
