#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDialog>

#include <cstdint>

class ImportPreviewModel;
class LinkList;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeView;
class WebsiteCheckList;
class WebsiteTree;

// The import wizard: a text file of partner page URLs, one a line, becomes new inbound links of one
// website. Four pages; nothing reaches the links list before "Finish".
class TfrmImport : public QDialog {
    Q_OBJECT

public:
    enum Page { FirstStep, SecondStep, ThirdStep, FourthStep };

    TfrmImport(QWidget* parent, const WebsiteTree& websites, LinkList& links);
    ~TfrmImport() override;

    void BtnNextClick();
    void BtnBackClick();
    // "Browse...": chooses a file and appends its lines to the preview. Throws CannotOpenFile.
    void Button3Click();
    // Appends the pages of a file to the preview. Throws CannotOpenFile.
    void LoadFile(const QString& path);
    // "View sample file".
    void Button1Click();
    void ImportLinks();

    QByteArray SelectedSiteName() const;
    std::int32_t SelectedSiteId() const;

    int currentPage() const;
    QPushButton* BtnBack() const { return m_btnBack; }
    QPushButton* BtnNext() const { return m_btnNext; }
    QPushButton* BtnCancel() const { return m_btnCancel; }
    QPushButton* Button1() const { return m_button1; }
    QPushButton* Button3() const { return m_button3; }
    QLineEdit* EditSelectFile() const { return m_editSelectFile; }
    QTreeView* VSTItems() const { return m_vstItems; }
    QCheckBox* KeepDuplicates() const { return m_keepDuplicates; }
    QLabel* DuplicateNote() const { return m_duplicateNote; }
    QLabel* ImportCountValue() const { return m_importCount; }
    const ImportPreviewModel& preview() const { return *m_preview; }
    WebsiteCheckList* VSTSites() const { return m_vstSites; }
    QLabel* ImportFromValue() const { return m_importFrom; }
    QLabel* ImportToValue() const { return m_importTo; }
    QProgressBar* ProgressBar1() const { return m_progressBar; }

public Q_SLOTS:
    void reject() override;

private:
    void FormCreate(const WebsiteTree& websites);
    QWidget* buildFirstStep();
    QWidget* buildSecondStep();
    QWidget* buildThirdStep();
    QWidget* buildFourthStep();
    void setImporting(bool importing);
    void refreshDuplicates();
    void showDuplicateNote();
    QString importCountText() const;

    LinkList& m_links;
    bool m_importing = false;
    QString m_loadedPath;  // the file last read into the preview, as the file field named it

    QStackedWidget* m_pages = nullptr;
    QPushButton* m_btnBack = nullptr;
    QPushButton* m_btnNext = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QPushButton* m_button1 = nullptr;
    QPushButton* m_button3 = nullptr;
    QLineEdit* m_editSelectFile = nullptr;
    QTreeView* m_vstItems = nullptr;
    ImportPreviewModel* m_preview = nullptr;
    QLabel* m_duplicateNote = nullptr;
    QCheckBox* m_keepDuplicates = nullptr;
    WebsiteCheckList* m_vstSites = nullptr;
    QLabel* m_importFrom = nullptr;
    QLabel* m_importTo = nullptr;
    QLabel* m_importCount = nullptr;
    QProgressBar* m_progressBar = nullptr;
};
