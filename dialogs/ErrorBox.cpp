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

QString CurrentFailureText()
{
    try {
        throw;
    } catch (const AppError& error) {
        return error.text();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred");
    }
}

void ShowFailure(QWidget* parent)
{
    ShowError(parent, WithFullStop(CurrentFailureText()));
}
