#include "dialogs/ConfirmOptions.h"

#include "model/SettingsFile.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

ConfirmValues LoadConfirmOptions(const SettingsFile& settings)
{
    ConfirmValues values;
    values.confirm = settings.read(Keys::ConfirmLosses);
    values.pauseSeconds = std::clamp(settings.read(Keys::ConfirmPause), 0, Keys::MaxConfirmPause);
    return values;
}

void SaveConfirmOptions(SettingsFile& settings, const ConfirmValues& values)
{
    settings.write(Keys::ConfirmLosses, values.confirm);
    settings.write(Keys::ConfirmPause, values.pauseSeconds);
}

ConfirmOptions::ConfirmOptions(QWidget* parent)
    : QGroupBox(QStringLiteral("Lost links"), parent),
      m_cbConfirm(new QCheckBox(QStringLiteral("Re-check a link before reporting it lost"), this)),
      m_editPause(new QSpinBox(this))
{
    setObjectName(QStringLiteral("GBConfirm"));
    m_cbConfirm->setObjectName(QStringLiteral("CBConfirm"));
    m_editPause->setObjectName(QStringLiteral("EditConfirmPause"));
    m_cbConfirm->setToolTip(
        QStringLiteral("A link that was found and now is not is fetched once more before the list says it is lost."));
    m_editPause->setRange(0, Keys::MaxConfirmPause);
    m_editPause->setSuffix(QStringLiteral(" s"));

    auto* pauseLabel = new QLabel(QStringLiteral("Wait before the second fetch: "), this);
    pauseLabel->setBuddy(m_editPause);
    auto* pauseRow = new QHBoxLayout;
    pauseRow->setContentsMargins(20, 0, 0, 0);
    pauseRow->addWidget(pauseLabel);
    pauseRow->addWidget(m_editPause);
    pauseRow->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_cbConfirm);
    layout->addLayout(pauseRow);
    connect(m_cbConfirm, &QCheckBox::toggled, this, &ConfirmOptions::enablePause);
    setValues(ConfirmValues());
}

void ConfirmOptions::setValues(const ConfirmValues& values)
{
    m_cbConfirm->setChecked(values.confirm);
    m_editPause->setValue(values.pauseSeconds);
    enablePause();
}

ConfirmValues ConfirmOptions::values() const
{
    return ConfirmValues{m_cbConfirm->isChecked(), m_editPause->value()};
}

void ConfirmOptions::enablePause()
{
    m_editPause->setEnabled(m_cbConfirm->isChecked());
}
