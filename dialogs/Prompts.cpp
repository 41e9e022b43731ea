#include "dialogs/Prompts.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QString TitleOf(Prompts::Kind kind)
{
    switch (kind) {
    case Prompts::Kind::Warning: return QStringLiteral("Warning");
    case Prompts::Kind::Information: return QStringLiteral("Information");
    case Prompts::Kind::Error:
    case Prompts::Kind::Plain: break;
    }
    return QApplication::applicationName();
}

QMessageBox::Icon IconOf(Prompts::Kind kind)
{
    switch (kind) {
    case Prompts::Kind::Warning: return QMessageBox::Warning;
    case Prompts::Kind::Information: return QMessageBox::Information;
    case Prompts::Kind::Error: return QMessageBox::Critical;
    case Prompts::Kind::Plain: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void DesktopPrompts::show(QWidget* parent, Kind kind, const QString& text)
{
    QMessageBox box(IconOf(kind), TitleOf(kind), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool DesktopPrompts::confirm(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Prompts& prompts()
{
    static DesktopPrompts desktop;
    return Seam<Prompts>::current(desktop);
}

void ShowWarning(QWidget* parent, const QString& text)
{
    prompts().show(parent, Prompts::Kind::Warning, text);
}

void ShowInformation(QWidget* parent, const QString& text)
{
    prompts().show(parent, Prompts::Kind::Information, text);
}

void ShowError(QWidget* parent, const QString& text)
{
    prompts().show(parent, Prompts::Kind::Error, text);
}

void ShowMessage(QWidget* parent, const QString& text)
{
    prompts().show(parent, Prompts::Kind::Plain, text);
}

bool AskConfirm(QWidget* parent, const QString& text)
{
    return prompts().confirm(parent, text);
}
