#pragma once

#include <QGroupBox>

class QCheckBox;
class QSpinBox;
class QWidget;
class SettingsFile;

// How pages are fetched, as the "Advanced" part of the options shows it.
struct AdvancedValues {
    static constexpr int MaxPerHostLimit = 100;  // no more checks than the most threads run at once
    static constexpr int MaxTotalTimeout = 3600;

    int perHostLimit = 4;    // 0: no limit
    int totalTimeout = 120;  // seconds; 0: no limit
    bool compression = true;
    bool retry = true;

    bool operator==(const AdvancedValues&) const = default;
};

// A negative stored value counts as the key's default, as the checks read it; one above the range
// shows as its top.
AdvancedValues LoadAdvancedOptions(const SettingsFile& settings);
void SaveAdvancedOptions(SettingsFile& settings, const AdvancedValues& values);

// The "Advanced" group of the options dialog: how many checks talk to one site at once, how long a
// page may take, compressed pages and the retry.
class AdvancedOptions : public QGroupBox {
    Q_OBJECT

public:
    explicit AdvancedOptions(QWidget* parent = nullptr);

    void setValues(const AdvancedValues& values);
    AdvancedValues values() const;

    QSpinBox* EditPerHostLimit() const { return m_editPerHostLimit; }
    QSpinBox* EditTotalTimeout() const { return m_editTotalTimeout; }
    QCheckBox* CBCompression() const { return m_cbCompression; }
    QCheckBox* CBRetry() const { return m_cbRetry; }

    // The controls in tab order, for the dialog to chain them between its own.
    QWidget* firstControl() const;
    QWidget* lastControl() const;

private:
    QSpinBox* m_editPerHostLimit;
    QSpinBox* m_editTotalTimeout;
    QCheckBox* m_cbCompression;
    QCheckBox* m_cbRetry;
};
