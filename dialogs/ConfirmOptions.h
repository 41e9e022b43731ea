#pragma once

#include <QGroupBox>

class QCheckBox;
class QSpinBox;
class QWidget;
class SettingsFile;

// Whether a link found before and lost now is fetched once more before the loss is reported, and
// how long the check waits before that second fetch.
struct ConfirmValues {
    bool confirm = true;
    int pauseSeconds = 5;

    bool operator==(const ConfirmValues&) const = default;
};

// A pause outside 0 to Keys::MaxConfirmPause shows as the nearer bound, as the checks read it.
ConfirmValues LoadConfirmOptions(const SettingsFile& settings);
void SaveConfirmOptions(SettingsFile& settings, const ConfirmValues& values);

// The "Lost links" group of the options dialog.
class ConfirmOptions : public QGroupBox {
    Q_OBJECT

public:
    explicit ConfirmOptions(QWidget* parent = nullptr);

    void setValues(const ConfirmValues& values);
    ConfirmValues values() const;

    QCheckBox* CBConfirm() const { return m_cbConfirm; }
    QSpinBox* EditPause() const { return m_editPause; }

private:
    void enablePause();

    QCheckBox* m_cbConfirm;
    QSpinBox* m_editPause;
};
