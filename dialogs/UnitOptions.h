#pragma once

#include "dialogs/AdvancedOptions.h"
#include "dialogs/ConfirmOptions.h"
#include "dialogs/InputFault.h"
#include "dialogs/ScheduleOptions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class SettingsFile;

// What the options dialog edits, as it shows them. The port is the text of its field.
struct OptionsValues {
    static constexpr int MinThreads = 3;
    static constexpr int MaxThreads = 100;

    bool runOnStart = false;
    int threadCount = MinThreads;
    bool useProxy = false;
    QByteArray proxyServer;
    QByteArray proxyPort;
    QByteArray proxyUser;
    QByteArray proxyPass;
    AdvancedValues advanced;
    ConfirmValues confirm;
    ScheduleKind schedule = ScheduleKind::Off;  // not a key: what the user's service manager has on
};

enum class OptionsField { ProxyServer, ProxyPort };
using OptionsInputFault = InputFault<OptionsField>;

// Reads the keys in the dialog's order; a thread count outside 3..100 becomes the nearer bound.
OptionsValues LoadOptions(const SettingsFile& settings);
// Only while the proxy is on: throws OptionsInputFault for a blank address, then a blank port.
void CheckOptionsInput(const OptionsValues& values);
// A port field's text as a number; AppError "'%s' is not a valid integer value" for anything else.
int PortFromText(QByteArrayView text);
// Writes the keys one by one in the dialog's order, the advanced ones last. The texts go as typed;
// an empty port leaves the stored one. A port that is no number throws when its turn comes, after
// the keys before it.
void SaveOptions(SettingsFile& settings, const OptionsValues& values);

// "Options": how many links are checked at once, the HTTP proxy, and how pages are fetched.
class TfrmOptions : public QDialog {
    Q_OBJECT

public:
    explicit TfrmOptions(QWidget* parent = nullptr);

    void setValues(const OptionsValues& values);
    OptionsValues values() const;

    // Enables the proxy rows while the proxy box is ticked.
    void FormShow();

    QSpinBox* EditThreadCount() const { return m_editThreadCount; }
    QGroupBox* CBUseProxy() const { return m_cbUseProxy; }
    QLineEdit* EditProxyAdd() const { return m_editProxyAdd; }
    QLineEdit* EditProxyPort() const { return m_editProxyPort; }
    QLineEdit* EditProxyUser() const { return m_editProxyUser; }
    QLineEdit* EditProxyPass() const { return m_editProxyPass; }
    QCheckBox* CBStartCheck() const { return m_cbStartCheck; }
    AdvancedOptions* GBAdvanced() const { return m_advanced; }
    ConfirmOptions* GBConfirm() const { return m_confirm; }
    ScheduleOptions* GBSchedule() const { return m_schedule; }
    QPushButton* BBtnOk() const { return m_bbtnOk; }
    QPushButton* BitBtn1() const { return m_bitBtn1; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BBtnOkClick();

    QSpinBox* m_editThreadCount;
    QGroupBox* m_cbUseProxy;
    QLabel* m_proxyLabels[4];
    QLineEdit* m_editProxyAdd;
    QLineEdit* m_editProxyPort;
    QLineEdit* m_editProxyUser;
    QLineEdit* m_editProxyPass;
    QCheckBox* m_cbStartCheck;
    AdvancedOptions* m_advanced;
    ConfirmOptions* m_confirm;
    ScheduleOptions* m_schedule;
    QPushButton* m_bbtnOk;
    QPushButton* m_bitBtn1;
};

// Shows the options from the settings file and, when left with "&Save", writes them back.
void ShowOptions(QWidget* parent, SettingsFile& settings);
