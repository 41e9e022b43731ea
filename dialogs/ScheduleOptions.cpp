#include "dialogs/ScheduleOptions.h"

#include "dialogs/ErrorBox.h"
#include "dialogs/UserServices.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

ScheduleOptions::ScheduleOptions(QWidget* parent)
    : QGroupBox(QStringLiteral("Schedule"), parent),
      m_rbOff(new QRadioButton(QStringLiteral("Off"), this)),
      m_rbDaily(new QRadioButton(QStringLiteral("Daily"), this)),
      m_rbWeekly(new QRadioButton(QStringLiteral("Weekly"), this))
{
    setObjectName(QStringLiteral("GBSchedule"));
    m_rbOff->setObjectName(QStringLiteral("RBScheduleOff"));
    m_rbDaily->setObjectName(QStringLiteral("RBScheduleDaily"));
    m_rbWeekly->setObjectName(QStringLiteral("RBScheduleWeekly"));

    auto* text = new QLabel(QStringLiteral("Check every inbound link by itself, also while Quorvane is closed, "
                                           "and tell me which links were lost:"),
                            this);
    text->setWordWrap(true);
    auto* choices = new QHBoxLayout;
    for (QRadioButton* button : {m_rbOff, m_rbDaily, m_rbWeekly})
        choices->addWidget(button);
    choices->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(choices);
    setValue(ScheduleKind::Off);
}

void ScheduleOptions::setValue(ScheduleKind kind)
{
    (kind == ScheduleKind::Weekly ? m_rbWeekly : kind == ScheduleKind::Daily ? m_rbDaily : m_rbOff)->setChecked(true);
}

ScheduleKind ScheduleOptions::value() const
{
    if (m_rbWeekly->isChecked())
        return ScheduleKind::Weekly;
    return m_rbDaily->isChecked() ? ScheduleKind::Daily : ScheduleKind::Off;
}

QWidget* ScheduleOptions::firstControl() const
{
    return m_rbOff;
}

QWidget* ScheduleOptions::lastControl() const
{
    return m_rbWeekly;
}

void SaveSchedule(QWidget* parent, ScheduleKind kind, ScheduleKind before)
{
    if (kind == before)
        return;
    RunGuarded(parent, [&] { ApplySchedule(kind, before, CurrentSchedulePlace(), userServices()); });
}
