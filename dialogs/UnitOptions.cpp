#include "dialogs/UnitOptions.h"

#include "dialogs/AnsiText.h"
#include "dialogs/Prompts.h"
#include "model/IniText.h"
#include "model/SettingsFile.h"
#include "model/TextUtil.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

OptionsValues LoadOptions(const SettingsFile& settings)
{
    OptionsValues values;
    values.runOnStart = settings.read(Keys::RunOnStart);
    values.threadCount =
        std::clamp(settings.read(Keys::ThreadCount), OptionsValues::MinThreads, OptionsValues::MaxThreads);
    values.useProxy = settings.read(Keys::UseProxy);
    values.proxyServer = settings.read(Keys::ProxyServer);
    values.proxyPort = QByteArray::number(settings.read(Keys::ProxyPort));
    values.proxyUser = settings.read(Keys::ProxyUser);
    values.proxyPass = settings.read(Keys::ProxyPass);
    values.advanced = LoadAdvancedOptions(settings);
    values.confirm = LoadConfirmOptions(settings);
    return values;
}

void CheckOptionsInput(const OptionsValues& values)
{
    if (!values.useProxy)
        return;
    if (TrimControl(values.proxyServer).isEmpty())
        throw OptionsInputFault(OptionsField::ProxyServer, QStringLiteral("Please fill proxy server's IP address"));
    if (TrimControl(values.proxyPort).isEmpty())
        throw OptionsInputFault(OptionsField::ProxyPort, QStringLiteral("Please fill proxy server's Port"));
}

int PortFromText(QByteArrayView text)
{
    // Blanks in front are skipped, as number conversion always has; anything after the digits fails.
    qsizetype start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    if (const std::optional<int> number = IniText::parseInteger(text.sliced(start)))
        return *number;
    throw AppError(QStringLiteral("'%1' is not a valid integer value").arg(FromAnsi(text)));
}

void SaveOptions(SettingsFile& settings, const OptionsValues& values)
{
    settings.write(Keys::RunOnStart, values.runOnStart);
    settings.write(Keys::ThreadCount, values.threadCount);
    settings.write(Keys::UseProxy, values.useProxy);
    settings.write(Keys::ProxyServer, values.proxyServer);
    if (!values.proxyPort.isEmpty())
        settings.write(Keys::ProxyPort, PortFromText(values.proxyPort));
    settings.write(Keys::ProxyUser, values.proxyUser);
    settings.write(Keys::ProxyPass, values.proxyPass);
    SaveAdvancedOptions(settings, values.advanced);
    SaveConfirmOptions(settings, values.confirm);
}

TfrmOptions::TfrmOptions(QWidget* parent)
    : QDialog(parent),
      m_editThreadCount(new QSpinBox(this)),
      m_cbUseProxy(new QGroupBox(QStringLiteral("Connect via a HTTP proxy server"), this)),
      m_editProxyAdd(new QLineEdit(m_cbUseProxy)),
      m_editProxyPort(new QLineEdit(m_cbUseProxy)),
      m_editProxyUser(new QLineEdit(m_cbUseProxy)),
      m_editProxyPass(new QLineEdit(m_cbUseProxy)),
      m_cbStartCheck(new QCheckBox(QStringLiteral("Check all inbound links when start up"), this)),
      m_advanced(new AdvancedOptions(this)),
      m_confirm(new ConfirmOptions(this)),
      m_schedule(new ScheduleOptions(this)),
      m_bbtnOk(new QPushButton(QStringLiteral("&Save"), this)),
      m_bitBtn1(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));

    m_editThreadCount->setObjectName(QStringLiteral("EditThreadCount"));
    m_cbUseProxy->setObjectName(QStringLiteral("CBUseProxy"));
    m_editProxyAdd->setObjectName(QStringLiteral("EditProxyAdd"));
    m_editProxyPort->setObjectName(QStringLiteral("EditProxyPort"));
    m_editProxyUser->setObjectName(QStringLiteral("EditProxyUser"));
    m_editProxyPass->setObjectName(QStringLiteral("EditProxyPass"));
    m_cbStartCheck->setObjectName(QStringLiteral("CBStartCheck"));
    m_bbtnOk->setObjectName(QStringLiteral("BBtnOk"));
    m_bitBtn1->setObjectName(QStringLiteral("BitBtn1"));

    m_editThreadCount->setRange(OptionsValues::MinThreads, OptionsValues::MaxThreads);
    m_editThreadCount->setSingleStep(1);
    m_editThreadCount->setValue(OptionsValues::MinThreads);
    auto* threadLabel = new QLabel(QStringLiteral("Thread number: "), this);
    threadLabel->setBuddy(m_editThreadCount);
    auto* threadRow = new QHBoxLayout;
    threadRow->addWidget(threadLabel);
    threadRow->addWidget(m_editThreadCount);
    threadRow->addStretch();

    // The box heads the group: ticking it enables the proxy rows, clearing it disables them.
    m_cbUseProxy->setCheckable(true);
    m_cbUseProxy->setChecked(false);
    const QString captions[4] = {QStringLiteral("IP Address: "), QStringLiteral("Port:"), QStringLiteral("Username: "),
                                 QStringLiteral("Password:")};
    QLineEdit* const fields[4] = {m_editProxyAdd, m_editProxyPort, m_editProxyUser, m_editProxyPass};
    for (int i = 0; i < 4; ++i) {
        m_proxyLabels[i] = new QLabel(captions[i], m_cbUseProxy);
        m_proxyLabels[i]->setBuddy(fields[i]);
    }
    m_editProxyPort->setFixedWidth(m_editProxyPort->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    m_editProxyPass->setEchoMode(QLineEdit::Password);
    m_editProxyPass->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

    auto* proxyGrid = new QGridLayout(m_cbUseProxy);
    proxyGrid->addWidget(m_proxyLabels[0], 0, 0);
    proxyGrid->addWidget(m_editProxyAdd, 0, 1);
    proxyGrid->addWidget(m_proxyLabels[1], 0, 2);
    proxyGrid->addWidget(m_editProxyPort, 0, 3);
    proxyGrid->addWidget(m_proxyLabels[2], 1, 0);
    proxyGrid->addWidget(m_editProxyUser, 1, 1);
    proxyGrid->addWidget(m_proxyLabels[3], 2, 0);
    proxyGrid->addWidget(m_editProxyPass, 2, 1);
    proxyGrid->setColumnStretch(1, 1);
    proxyGrid->setColumnMinimumWidth(1, 160);

    // Carries "RunOnStart" through unchanged; nothing lets the user see or change it.
    m_cbStartCheck->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_bbtnOk);
    buttons->addWidget(m_bitBtn1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(threadRow);
    layout->addWidget(m_cbUseProxy);
    layout->addWidget(m_advanced);
    layout->addWidget(m_confirm);
    layout->addWidget(m_schedule);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_editThreadCount, m_cbUseProxy);
    setTabOrder(m_cbUseProxy, m_editProxyAdd);
    setTabOrder(m_editProxyAdd, m_editProxyPort);
    setTabOrder(m_editProxyPort, m_editProxyUser);
    setTabOrder(m_editProxyUser, m_editProxyPass);
    setTabOrder(m_editProxyPass, m_advanced->firstControl());
    setTabOrder(m_advanced->lastControl(), m_confirm->CBConfirm());
    setTabOrder(m_confirm->CBConfirm(), m_confirm->EditPause());
    setTabOrder(m_confirm->EditPause(), m_schedule->firstControl());
    setTabOrder(m_schedule->lastControl(), m_bbtnOk);
    setTabOrder(m_bbtnOk, m_bitBtn1);
    m_editThreadCount->setFocus();

    // As designed, the proxy rows start disabled; FormShow sets them from the box.
    for (QLabel* label : m_proxyLabels)
        label->setEnabled(false);
    for (QLineEdit* field : fields)
        field->setEnabled(false);

    m_bbtnOk->setDefault(true);
    connect(m_cbUseProxy, &QGroupBox::clicked, this, &TfrmOptions::FormShow);
    connect(m_bbtnOk, &QPushButton::clicked, this, &TfrmOptions::BBtnOkClick);
    connect(m_bitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmOptions::setValues(const OptionsValues& values)
{
    m_cbStartCheck->setChecked(values.runOnStart);
    m_editThreadCount->setValue(values.threadCount);
    m_cbUseProxy->setChecked(values.useProxy);
    m_editProxyAdd->setText(FromAnsi(values.proxyServer));
    m_editProxyPort->setText(FromAnsi(values.proxyPort));
    m_editProxyUser->setText(FromAnsi(values.proxyUser));
    m_editProxyPass->setText(FromAnsi(values.proxyPass));
    m_advanced->setValues(values.advanced);
    m_confirm->setValues(values.confirm);
    m_schedule->setValue(values.schedule);
}

OptionsValues TfrmOptions::values() const
{
    OptionsValues values;
    values.runOnStart = m_cbStartCheck->isChecked();
    values.threadCount = m_editThreadCount->value();
    values.useProxy = m_cbUseProxy->isChecked();
    values.proxyServer = ToAnsi(m_editProxyAdd->text());
    values.proxyPort = ToAnsi(m_editProxyPort->text());
    values.proxyUser = ToAnsi(m_editProxyUser->text());
    values.proxyPass = ToAnsi(m_editProxyPass->text());
    values.advanced = m_advanced->values();
    values.confirm = m_confirm->values();
    values.schedule = m_schedule->value();
    return values;
}

void TfrmOptions::FormShow()
{
    const bool on = m_cbUseProxy->isChecked();
    for (QLabel* label : m_proxyLabels)
        label->setEnabled(on);
    for (QLineEdit* field : {m_editProxyAdd, m_editProxyPort, m_editProxyUser, m_editProxyPass})
        field->setEnabled(on);
}

void TfrmOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfrmOptions::BBtnOkClick()
{
    try {
        CheckOptionsInput(values());
    } catch (const OptionsInputFault& fault) {
        (fault.field() == OptionsField::ProxyServer ? m_editProxyAdd : m_editProxyPort)->setFocus();
        ShowWarning(this, fault.text());
        return;
    }
    accept();
}

void ShowOptions(QWidget* parent, SettingsFile& settings)
{
    OptionsValues values = LoadOptions(settings);
    const ScheduleKind schedule = ReadSchedule(CurrentSchedulePlace().unitFolder);
    values.schedule = schedule;
    {
        TfrmOptions dialog(parent);
        dialog.setValues(values);
        if (dialog.exec() != QDialog::Accepted)
            return;
        values = dialog.values();
    }
    SaveSchedule(parent, values.schedule, schedule);
    // A port that is no number fails here, after the dialog has closed.
    SaveOptions(settings, values);
}
