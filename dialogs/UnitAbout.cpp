#include "dialogs/UnitAbout.h"

#include "dialogs/Shell.h"
#include "model/DataFolder.h"
#include "model/ProductInfo.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

QString HomePageAddress()
{
    return QLatin1StringView(ProductSite) + QStringLiteral("/?from=software");
}

QString ContactAddress()
{
    return QLatin1StringView(ProductSite) + QStringLiteral("/contact.php?from=software");
}

QString SupportMailAddress()
{
    return QStringLiteral("mailto:") + QLatin1StringView(SupportAddress) + QStringLiteral("?subject=Customer support");
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    setPalette(blue);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the label, as with a button: dragging off it cancels.
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        Q_EMIT clicked();
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));

    // The bevelled panel: a lowered outer edge around a raised inner one.
    auto* outer = new QFrame(this);
    outer->setObjectName(QStringLiteral("Panel1"));
    outer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* inner = new QFrame(outer);
    inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* outerLayout = new QVBoxLayout(outer);
    outerLayout->setContentsMargins(1, 1, 1, 1);
    outerLayout->addWidget(inner);

    m_labelProduct = new QLabel(QLatin1StringView(ProductName), inner);
    m_labelProduct->setObjectName(QStringLiteral("Label1"));
    QFont large = m_labelProduct->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 1.75);
    m_labelProduct->setFont(large);

    m_labelVersion = new QLabel(QStringLiteral("Version  ") + QLatin1StringView(ProductVersion), inner);
    m_labelVersion->setObjectName(QStringLiteral("LabelVersion"));
    m_label6 = new LinkLabel(QLatin1StringView(SupportAddress), inner);
    m_label6->setObjectName(QStringLiteral("Label6"));
    m_label5 = new LinkLabel(QLatin1StringView(ProductSite), inner);
    m_label5->setObjectName(QStringLiteral("Label5"));
    // Where this copy keeps its files, to find them for a copy or a move; selectable for that.
    m_labelDataFolder =
        new QLabel(QStringLiteral("Data folder: ") + QDir::toNativeSeparators(QDir::cleanPath(DataFolder())), inner);
    m_labelDataFolder->setObjectName(QStringLiteral("LabelDataFolder"));
    m_labelDataFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLabel* label : {m_labelProduct, m_labelVersion, static_cast<QLabel*>(m_label6),
                          static_cast<QLabel*>(m_label5), m_labelDataFolder})
        label->setTextFormat(Qt::PlainText);

    auto* panel = new QVBoxLayout(inner);
    panel->setContentsMargins(28, 18, 28, 18);
    panel->setSpacing(6);
    panel->addWidget(m_labelProduct, 0, Qt::AlignHCenter);
    panel->addWidget(m_labelVersion, 0, Qt::AlignHCenter);
    panel->addSpacing(12);
    panel->addWidget(m_label6, 0, Qt::AlignHCenter);
    panel->addWidget(m_label5, 0, Qt::AlignHCenter);
    panel->addSpacing(12);
    panel->addWidget(m_labelDataFolder, 0, Qt::AlignHCenter);

    m_bbtnOk = new QPushButton(QStringLiteral("OK"), this);
    m_bbtnOk->setObjectName(QStringLiteral("BBtnOk"));
    m_bbtnOk->setDefault(true);  // Enter; Esc closes the box as well

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_bbtnOk);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(outer);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_bbtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_label5, &LinkLabel::clicked, this, &TfrmAbout::Label5Click);
    connect(m_label6, &LinkLabel::clicked, this, &TfrmAbout::Label6Click);
}

void TfrmAbout::Label5Click()
{
    shell().openUrl(HomePageAddress());
}

void TfrmAbout::Label6Click()
{
    shell().openMail(SupportMailAddress());
}
