#include "model/SettingsFile.h"

#include "model/AppError.h"
#include "model/FileReplacer.h"
#include "model/IniText.h"
#include "model/LinkColumns.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <mutex>
#include <optional>

namespace {

// Serialises every read-modify-write in the process, whatever SettingsFile object or path it goes
// through. Reads need no lock: a write replaces the file by renaming a complete new one over it, so
// a reader sees either the old or the new file, never a mix.
std::mutex g_writeMutex;

// The file's bytes; nothing when it is missing or cannot be read.
std::optional<QByteArray> readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return contents;
}

[[noreturn]] void throwUnableToWrite(const QString& path)
{
    throw AppError(QStringLiteral("Unable to write to %1").arg(QFileInfo(path).absoluteFilePath()));
}

}  // namespace

namespace {

const char* ColumnKeyName(int column)
{
    static constexpr const char* names[] = {"0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11",
                                            "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23"};
    static_assert(std::size(names) >= LinkColumnCount, "a key name for every column of the links list");
    Q_ASSERT(column >= 0 && column < LinkColumnCount);
    return names[std::clamp(column, 0, LinkColumnCount - 1)];
}

}  // namespace

IntKey Keys::ColumnWidth(int column)
{
    return {"ColumnWidth", ColumnKeyName(column), DefaultColumnWidth(column)};
}

IntKey Keys::ColumnVisible(int column)
{
    return {"ColumnVisible", ColumnKeyName(column), NoChoice};
}

SettingsFile::SettingsFile(QString path) : m_path(std::move(path))
{
}

QByteArray SettingsFile::readString(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue) const
{
    const std::optional<QByteArray> contents = readWhole(m_path);
    if (!contents)
        return defaultValue.toByteArray();
    std::optional<QByteArray> value = IniText::readValue(*contents, section, key);
    return value ? std::move(*value) : defaultValue.toByteArray();
}

int SettingsFile::readInteger(QByteArrayView section, QByteArrayView key, int defaultValue) const
{
    const std::optional<QByteArray> contents = readWhole(m_path);
    if (!contents)
        return defaultValue;
    const std::optional<QByteArray> value = IniText::readValue(*contents, section, key);
    if (!value)
        return defaultValue;
    return IniText::parseInteger(*value).value_or(defaultValue);
}

bool SettingsFile::readBool(QByteArrayView section, QByteArrayView key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    const std::lock_guard lock(g_writeMutex);
    QByteArray contents;
    if (QFile::exists(m_path)) {
        // Rewriting a file that is there but cannot be read would throw its other lines away.
        std::optional<QByteArray> current = readWhole(m_path);
        if (!current)
            throwUnableToWrite(m_path);
        contents = std::move(*current);
    }
    const QByteArray updated = IniText::writeValue(contents, section, key, value);

    // The new contents go to a temporary file beside the old one, which then replaces it in one
    // rename: a crash or a full disk never leaves a half-written file, and a refused write leaves
    // the old one as it was. The file holds the proxy password: it is the owner's alone.
    try {
        ReplaceFileContents(m_path, updated, FilePrivacy::OwnerOnly);
    } catch (const AppError&) {
        throwUnableToWrite(m_path);
    }
}

void SettingsFile::writeInteger(QByteArrayView section, QByteArrayView key, int value)
{
    writeString(section, key, QByteArray::number(value));
}

void SettingsFile::writeBool(QByteArrayView section, QByteArrayView key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}
