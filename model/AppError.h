#pragma once

#include <QString>

#include <exception>

// A failure whose text is what the user reads. Dialogs catch their own validation messages; the
// application-wide handler shows the rest in an error box.
class AppError : public std::exception {
public:
    explicit AppError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

// "Cannot open file "%s". %s" and "Cannot create file "%s". %s": the full path, then the system's reason.
AppError CannotOpenFile(const QString& path, const QString& reason);
AppError CannotCreateFile(const QString& path, const QString& reason);
// The system's text for an errno value.
QString SystemErrorText(int error);
