#pragma once

#include <QDialog>
#include <QLabel>

class QPushButton;

// A label that reads as a link: blue, underlined, a pointing hand, and a click that runs a command.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

// The about box: the product's name and version, its support address and its home page, and the
// folder that holds the data files. Clicking an address opens it and leaves the box open.
class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QLabel* LabelProduct() const { return m_labelProduct; }
    QLabel* LabelVersion() const { return m_labelVersion; }
    LinkLabel* Label5() const { return m_label5; }
    LinkLabel* Label6() const { return m_label6; }
    QLabel* LabelDataFolder() const { return m_labelDataFolder; }
    QPushButton* BBtnOk() const { return m_bbtnOk; }

    // The home page in the web browser, and a new mail message to the support address.
    void Label5Click();
    void Label6Click();

private:
    QLabel* m_labelProduct = nullptr;
    QLabel* m_labelVersion = nullptr;
    LinkLabel* m_label5 = nullptr;
    LinkLabel* m_label6 = nullptr;
    QLabel* m_labelDataFolder = nullptr;
    QPushButton* m_bbtnOk = nullptr;
};

// The addresses the about box and the Help menu open.
QString HomePageAddress();  // the home page, marked as visited from the program
QString ContactAddress();   // the contact page, likewise
QString SupportMailAddress();
