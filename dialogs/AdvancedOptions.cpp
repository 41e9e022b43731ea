#include "dialogs/AdvancedOptions.h"

#include "model/SettingsFile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

#include <algorithm>

namespace {

int Shown(int stored, int defaultValue, int most)
{
    return stored < 0 ? defaultValue : std::min(stored, most);
}

}  // namespace

AdvancedValues LoadAdvancedOptions(const SettingsFile& settings)
{
    AdvancedValues values;
    values.perHostLimit =
        Shown(settings.read(Keys::PerHostLimit), Keys::PerHostLimit.defaultValue, AdvancedValues::MaxPerHostLimit);
    values.totalTimeout =
        Shown(settings.read(Keys::TotalTimeout), Keys::TotalTimeout.defaultValue, AdvancedValues::MaxTotalTimeout);
    values.compression = settings.read(Keys::Compression);
    values.retry = settings.read(Keys::Retry);
    return values;
}

void SaveAdvancedOptions(SettingsFile& settings, const AdvancedValues& values)
{
    settings.write(Keys::PerHostLimit, values.perHostLimit);
    settings.write(Keys::TotalTimeout, values.totalTimeout);
    settings.write(Keys::Compression, values.compression);
    settings.write(Keys::Retry, values.retry);
}

AdvancedOptions::AdvancedOptions(QWidget* parent)
    : QGroupBox(QStringLiteral("Advanced"), parent),
      m_editPerHostLimit(new QSpinBox(this)),
      m_editTotalTimeout(new QSpinBox(this)),
      m_cbCompression(new QCheckBox(QStringLiteral("Ask sites for compressed pages"), this)),
      m_cbRetry(new QCheckBox(QStringLiteral("Try once more after a passing fault"), this))
{
    setObjectName(QStringLiteral("GBAdvanced"));
    m_editPerHostLimit->setObjectName(QStringLiteral("EditPerHostLimit"));
    m_editTotalTimeout->setObjectName(QStringLiteral("EditTotalTimeout"));
    m_cbCompression->setObjectName(QStringLiteral("CBCompression"));
    m_cbRetry->setObjectName(QStringLiteral("CBRetry"));

    // 0 is "no limit" for both, and the field says so.
    m_editPerHostLimit->setRange(0, AdvancedValues::MaxPerHostLimit);
    m_editPerHostLimit->setSpecialValueText(QStringLiteral("No limit"));
    m_editTotalTimeout->setRange(0, AdvancedValues::MaxTotalTimeout);
    m_editTotalTimeout->setSuffix(QStringLiteral(" s"));
    m_editTotalTimeout->setSpecialValueText(QStringLiteral("No limit"));
    for (QSpinBox* field : {m_editPerHostLimit, m_editTotalTimeout})
        field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("No limit")) + 40);

    auto* perHostLabel = new QLabel(QStringLiteral("Pages at once from one site: "), this);
    perHostLabel->setBuddy(m_editPerHostLimit);
    auto* totalLabel = new QLabel(QStringLiteral("Longest time for one page: "), this);
    totalLabel->setBuddy(m_editTotalTimeout);

    auto* grid = new QGridLayout(this);
    grid->addWidget(perHostLabel, 0, 0);
    grid->addWidget(m_editPerHostLimit, 0, 1);
    grid->addWidget(totalLabel, 1, 0);
    grid->addWidget(m_editTotalTimeout, 1, 1);
    grid->addWidget(m_cbCompression, 2, 0, 1, 3);
    grid->addWidget(m_cbRetry, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);

    setTabOrder(m_editPerHostLimit, m_editTotalTimeout);
    setTabOrder(m_editTotalTimeout, m_cbCompression);
    setTabOrder(m_cbCompression, m_cbRetry);
    setValues(AdvancedValues{});
}

void AdvancedOptions::setValues(const AdvancedValues& values)
{
    m_editPerHostLimit->setValue(values.perHostLimit);
    m_editTotalTimeout->setValue(values.totalTimeout);
    m_cbCompression->setChecked(values.compression);
    m_cbRetry->setChecked(values.retry);
}

AdvancedValues AdvancedOptions::values() const
{
    AdvancedValues values;
    values.perHostLimit = m_editPerHostLimit->value();
    values.totalTimeout = m_editTotalTimeout->value();
    values.compression = m_cbCompression->isChecked();
    values.retry = m_cbRetry->isChecked();
    return values;
}

QWidget* AdvancedOptions::firstControl() const
{
    return m_editPerHostLimit;
}

QWidget* AdvancedOptions::lastControl() const
{
    return m_cbRetry;
}
