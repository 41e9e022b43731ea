#include "dialogs/ErrorBox.h"

#include "dialogs/Prompts.h"
#include "model/AppError.h"

#include <exception>

QString WithFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back() > u'.')
        return text + u'.';
    return text;
}

void ShowFailure(QWidget* parent)
{
    QString text;
    try {
        throw;
    } catch (const AppError& error) {
        text = error.text();
    } catch (const std::exception& error) {
        text = QString::fromLocal8Bit(error.what());
    } catch (...) {
        text = QStringLiteral("An unexpected error occurred");
    }
    ShowError(parent, WithFullStop(text));
}
