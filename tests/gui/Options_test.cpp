#include "dialogs/UnitOptions.h"
#include "gui/ModalScript.h"
#include "model/AppError.h"
#include "model/SettingsFile.h"
#include "support/FakePrompts.h"
#include "support/QtPrinters.h"
#include "support/TempAppDir.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class OptionsTest : public ::testing::Test {
protected:
    QString path() const { return appDir.file(QStringLiteral("config.ini")); }
    QByteArray ini() const { return appDir.read(QStringLiteral("config.ini")); }
    void setIni(const char* text) { appDir.write(QStringLiteral("config.ini"), text); }

    // Opens the options on the settings file and lets `user` act in the dialog.
    void run(std::function<void(TfrmOptions&)> user)
    {
        ModalScript script;
        script.then([&](QDialog& d) {
            auto* dialog = As<TfrmOptions>(d);
            ASSERT_TRUE(dialog);
            user(*dialog);
        });
        ShowOptions(nullptr, settings);
        EXPECT_TRUE(script.finished());
    }

    std::vector<QWidget*> proxyRows(const TfrmOptions& dialog) const
    {
        std::vector<QWidget*> rows = {dialog.EditProxyAdd(), dialog.EditProxyPort(), dialog.EditProxyUser(),
                                      dialog.EditProxyPass()};
        for (QLabel* label : dialog.CBUseProxy()->findChildren<QLabel*>())
            rows.push_back(label);
        return rows;
    }

    TempAppDir appDir;
    InstalledFakePrompts prompts;
    SettingsFile settings{path()};
};

TEST_F(OptionsTest, DialogHasItsCaptionsLimitsAndHiddenStartCheck)
{
    TfrmOptions dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(dialog.EditThreadCount()->minimum(), 3);
    EXPECT_EQ(dialog.EditThreadCount()->maximum(), 100);
    EXPECT_EQ(dialog.EditThreadCount()->text(), QStringLiteral("3"));
    EXPECT_EQ(dialog.CBUseProxy()->title(), QStringLiteral("Connect via a HTTP proxy server"));
    EXPECT_TRUE(dialog.CBUseProxy()->isCheckable());
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->parent() != dialog.GBAdvanced() && label->parent() != dialog.GBSchedule() &&
            label->parent() != dialog.GBConfirm())
            labels << label->text();
    }
    labels.sort();
    EXPECT_EQ(labels,
              QStringList({QStringLiteral("IP Address: "), QStringLiteral("Password:"), QStringLiteral("Port:"),
                           QStringLiteral("Thread number: "), QStringLiteral("Username: ")}));
    EXPECT_EQ(dialog.EditProxyPass()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.EditProxyPass()->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                         dialog.EditProxyPass()),
              '*');
    EXPECT_EQ(dialog.CBStartCheck()->text(), QStringLiteral("Check all inbound links when start up"));
    EXPECT_EQ(dialog.BBtnOk()->text(), QStringLiteral("&Save"));
    EXPECT_EQ(dialog.BitBtn1()->text(), QStringLiteral("&Close"));
    EXPECT_TRUE(dialog.BBtnOk()->isDefault());
    for (QWidget* row : proxyRows(dialog))
        EXPECT_FALSE(row->isEnabled());

    dialog.show();
    EXPECT_FALSE(dialog.CBStartCheck()->isVisible());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST_F(OptionsTest, WithoutAProxySectionTheRowsAreOffUntilTheBoxIsTicked)
{
    setIni("[Common]\r\nThreadCount=7\r\n");
    run([&](TfrmOptions& dialog) {
        EXPECT_EQ(dialog.EditThreadCount()->value(), 7);
        EXPECT_FALSE(dialog.CBUseProxy()->isChecked());
        EXPECT_TRUE(dialog.EditProxyAdd()->text().isEmpty());
        EXPECT_EQ(dialog.EditProxyPort()->text(), QStringLiteral("80"));
        EXPECT_TRUE(dialog.EditProxyUser()->text().isEmpty());
        EXPECT_TRUE(dialog.EditProxyPass()->text().isEmpty());
        EXPECT_FALSE(dialog.CBStartCheck()->isChecked());
        for (QWidget* row : proxyRows(dialog))
            EXPECT_FALSE(row->isEnabled());

        QTest::mouseClick(dialog.CBUseProxy(), Qt::LeftButton, {}, QPoint(10, 5));
        EXPECT_TRUE(dialog.CBUseProxy()->isChecked());
        for (QWidget* row : proxyRows(dialog))
            EXPECT_TRUE(row->isEnabled());
        dialog.BitBtn1()->click();
    });
}

TEST_F(OptionsTest, ThreadCountOutsideTheRangeShowsAndSavesTheNearerBound)
{
    for (const auto& [stored, shown] : {std::pair{"1", 3}, std::pair{"500", 100}, std::pair{"-2", 3}}) {
        setIni(QByteArray("[Common]\r\nThreadCount=") + stored + "\r\n");
        run([&](TfrmOptions& dialog) {
            EXPECT_EQ(dialog.EditThreadCount()->value(), shown) << stored;
            dialog.BBtnOk()->click();
        });
        EXPECT_EQ(settings.read(Keys::ThreadCount), shown) << stored;
    }
}

TEST_F(OptionsTest, CloseWritesNothing)
{
    setIni("[Proxy]\r\nUseProxy=1\r\nProxyServer=10.0.0.1\r\nProxyPort=3128\r\n");
    const QByteArray before = ini();
    run([&](TfrmOptions& dialog) {
        EXPECT_TRUE(dialog.CBUseProxy()->isChecked());
        for (QWidget* row : proxyRows(dialog))
            EXPECT_TRUE(row->isEnabled());
        dialog.EditProxyAdd()->setText(QStringLiteral("changed"));
        dialog.EditThreadCount()->setValue(50);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(ini(), before);
    run([&](TfrmOptions& dialog) {
        EXPECT_EQ(dialog.EditProxyAdd()->text(), QStringLiteral("10.0.0.1"));
        dialog.BitBtn1()->click();
    });
    EXPECT_EQ(ini(), before);
}

TEST_F(OptionsTest, SaveWritesTextsAsTypedAndAnEmptyPortKeepsTheStoredOne)
{
    setIni("[Common]\r\nRunOnStart=1\r\n[Proxy]\r\nProxyPort=8080\r\nProxyUser=old\r\n");
    run([&](TfrmOptions& dialog) {
        EXPECT_TRUE(dialog.CBStartCheck()->isChecked());
        dialog.EditProxyAdd()->setText(QStringLiteral("  proxy.example "));
        dialog.EditProxyPort()->clear();
        dialog.EditProxyUser()->clear();
        dialog.EditProxyPass()->setText(QStringLiteral(" s3cret"));
        // The box is clear, so nothing is checked.
        dialog.BBtnOk()->click();
    });
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(settings.read(Keys::RunOnStart));
    EXPECT_EQ(settings.read(Keys::ThreadCount), 3);
    EXPECT_FALSE(settings.read(Keys::UseProxy));
    EXPECT_EQ(settings.read(Keys::ProxyPort), 8080);
    EXPECT_EQ(settings.read(Keys::ProxyUser), QByteArray());
    // Reads trim, so look at the lines themselves for the blanks.
    EXPECT_TRUE(ini().contains("ProxyServer=  proxy.example \r\n")) << ini().constData();
    EXPECT_TRUE(ini().contains("ProxyPass= s3cret\r\n")) << ini().constData();
}

TEST_F(OptionsTest, AbsentRunOnStartIsWrittenAsFalse)
{
    run([&](TfrmOptions& dialog) { dialog.BBtnOk()->click(); });
    EXPECT_TRUE(ini().contains("RunOnStart=0\r\n"));
    EXPECT_EQ(settings.read(Keys::ProxyPort), 80);
}

TEST_F(OptionsTest, TickedProxyNeedsAnAddressThenAPort)
{
    run([&](TfrmOptions& dialog) {
        dialog.CBUseProxy()->setChecked(true);
        dialog.FormShow();
        dialog.EditProxyAdd()->setText(QStringLiteral("   "));
        dialog.EditProxyPort()->clear();
        dialog.EditThreadCount()->setFocus();
        dialog.BBtnOk()->click();
        EXPECT_EQ(dialog.focusWidget(), dialog.EditProxyAdd());

        dialog.EditProxyAdd()->setText(QStringLiteral(" 10.0.0.2 "));
        dialog.EditProxyPort()->setText(QStringLiteral(" \t"));
        dialog.BBtnOk()->click();
        EXPECT_EQ(dialog.focusWidget(), dialog.EditProxyPort());
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.EditProxyAdd()->text(), QStringLiteral(" 10.0.0.2 "));

        dialog.EditProxyPort()->setText(QStringLiteral("3128"));
        dialog.BBtnOk()->click();
    });
    const QList<FakePrompts::Shown> expected = {
        {Prompts::Kind::Warning, QStringLiteral("Please fill proxy server's IP address")},
        {Prompts::Kind::Warning, QStringLiteral("Please fill proxy server's Port")},
    };
    EXPECT_EQ(prompts.shown, expected);
    EXPECT_TRUE(settings.read(Keys::UseProxy));
    EXPECT_EQ(settings.read(Keys::ProxyPort), 3128);
}

TEST_F(OptionsTest, BadPortFailsAfterTheKeysBeforeItAreWritten)
{
    setIni("[Proxy]\r\nProxyPort=8080\r\nProxyUser=old\r\nProxyPass=oldpass\r\n");
    for (const char* port : {"80a", "80 ", "4294967296"}) {
        ModalScript script;
        script.then([&](QDialog& d) {
            auto* dialog = As<TfrmOptions>(d);
            ASSERT_TRUE(dialog);
            dialog->EditThreadCount()->setValue(12);
            dialog->EditProxyAdd()->setText(QStringLiteral("proxy.example"));
            dialog->EditProxyPort()->setText(QString::fromLatin1(port));
            dialog->EditProxyUser()->setText(QStringLiteral("new"));
            dialog->BBtnOk()->click();
        });
        try {
            ShowOptions(nullptr, settings);
            ADD_FAILURE() << "no error for port " << port;
        } catch (const AppError& error) {
            EXPECT_EQ(error.text(), QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(port)));
        }
        EXPECT_EQ(settings.read(Keys::ThreadCount), 12);
        EXPECT_FALSE(settings.read(Keys::RunOnStart));
        EXPECT_EQ(settings.read(Keys::ProxyServer), QByteArray("proxy.example"));
        EXPECT_EQ(settings.read(Keys::ProxyPort), 8080);
        EXPECT_EQ(settings.read(Keys::ProxyUser), QByteArray("old"));
        EXPECT_EQ(settings.read(Keys::ProxyPass), QByteArray("oldpass"));
    }
}

TEST_F(OptionsTest, AdvancedPartShowsTheFetchKeysAndSavesThemLast)
{
    run([&](TfrmOptions& dialog) {
        AdvancedOptions& advanced = *dialog.GBAdvanced();
        EXPECT_EQ(advanced.title(), QStringLiteral("Advanced"));
        EXPECT_EQ(advanced.values(), AdvancedValues{});
        EXPECT_EQ(advanced.EditPerHostLimit()->text(), QStringLiteral("4"));
        EXPECT_EQ(advanced.EditTotalTimeout()->text(), QStringLiteral("120 s"));
        EXPECT_EQ(advanced.CBCompression()->text(), QStringLiteral("Ask sites for compressed pages"));
        EXPECT_EQ(advanced.CBRetry()->text(), QStringLiteral("Try once more after a passing fault"));
        QStringList labels;
        for (const QLabel* label : advanced.findChildren<QLabel*>())
            labels << label->text();
        EXPECT_EQ(labels,
                  QStringList({QStringLiteral("Pages at once from one site: "),
                               QStringLiteral("Longest time for one page: ")}));
        // The advanced controls come after the proxy's, then the schedule's, then the buttons.
        QStringList order;
        for (QWidget* w = dialog.EditProxyPass()->nextInFocusChain(); w != dialog.BBtnOk(); w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&dialog) && !w->objectName().startsWith(u"qt_"))
                order << w->objectName();  // a spin box's own line edit follows it
        EXPECT_EQ(order,
                  QStringList({QStringLiteral("EditPerHostLimit"), QStringLiteral("EditTotalTimeout"),
                               QStringLiteral("CBCompression"), QStringLiteral("CBRetry"), QStringLiteral("CBConfirm"),
                               QStringLiteral("EditConfirmPause"), QStringLiteral("RBScheduleOff"),
                               QStringLiteral("RBScheduleDaily"), QStringLiteral("RBScheduleWeekly")}));

        advanced.EditPerHostLimit()->setValue(0);
        advanced.EditTotalTimeout()->setValue(0);
        EXPECT_EQ(advanced.EditPerHostLimit()->text(), QStringLiteral("No limit"));
        EXPECT_EQ(advanced.EditTotalTimeout()->text(), QStringLiteral("No limit"));
        advanced.CBCompression()->setChecked(false);
        advanced.CBRetry()->setChecked(false);
        dialog.BBtnOk()->click();
    });
    EXPECT_EQ(settings.read(Keys::PerHostLimit), 0);
    EXPECT_EQ(settings.read(Keys::TotalTimeout), 0);
    EXPECT_FALSE(settings.read(Keys::Compression));
    EXPECT_FALSE(settings.read(Keys::Retry));
    EXPECT_TRUE(ini().endsWith("[Connect]\r\nPerHostLimit=0\r\nTotalTimeout=0\r\nCompression=0\r\nRetry=0\r\n"
                               "[Check]\r\nConfirmLosses=1\r\nConfirmPause=5\r\n"))
        << ini().constData();
}

TEST_F(OptionsTest, LostLinksPartTurnsTheSecondFetchOffAndItsPauseFollowsTheSwitch)
{
    setIni("[Check]\r\nConfirmPause=100000\r\n");
    run([&](TfrmOptions& dialog) {
        ConfirmOptions& confirm = *dialog.GBConfirm();
        EXPECT_EQ(confirm.CBConfirm()->text(), QStringLiteral("Re-check a link before reporting it lost"));
        EXPECT_TRUE(confirm.CBConfirm()->isChecked());
        // Shown as the checks read it.
        EXPECT_EQ(confirm.EditPause()->value(), Keys::MaxConfirmPause);
        confirm.CBConfirm()->setChecked(false);
        EXPECT_FALSE(confirm.EditPause()->isEnabled());
        confirm.CBConfirm()->setChecked(true);
        confirm.EditPause()->setValue(0);
        confirm.CBConfirm()->setChecked(false);
        dialog.BBtnOk()->click();
    });
    EXPECT_FALSE(settings.read(Keys::ConfirmLosses));
    EXPECT_EQ(settings.read(Keys::ConfirmPause), 0);
}

TEST_F(OptionsTest, HandEditedFetchKeysShowAsTheChecksReadThem)
{
    setIni("[Connect]\r\nPerHostLimit=-1\r\nTotalTimeout=99999\r\nCompression=0\r\nRetry=2\r\n");
    run([&](TfrmOptions& dialog) {
        const AdvancedValues shown = dialog.GBAdvanced()->values();
        EXPECT_EQ(shown.perHostLimit, 4);
        EXPECT_EQ(shown.totalTimeout, AdvancedValues::MaxTotalTimeout);
        EXPECT_FALSE(shown.compression);
        EXPECT_TRUE(shown.retry);
        dialog.BitBtn1()->click();
    });
}

TEST(PortTextTest, AcceptsWhatNumberConversionAccepts)
{
    EXPECT_EQ(PortFromText("3128"), 3128);
    EXPECT_EQ(PortFromText("  8080"), 8080);
    EXPECT_EQ(PortFromText("-1"), -1);
    EXPECT_EQ(PortFromText("$50"), 80);
    EXPECT_THROW(PortFromText(""), AppError);
    EXPECT_THROW(PortFromText("80 "), AppError);
    EXPECT_THROW(PortFromText("2147483648"), AppError);
}

}  // namespace
