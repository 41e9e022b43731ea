#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class CachedFile;

// The typed keys of config.ini, each with its section and default. This is the one table of them.
struct IntKey {
    const char* section;
    const char* key;
    int defaultValue;
};
struct BoolKey {
    const char* section;
    const char* key;
    bool defaultValue;
};
struct TextKey {
    const char* section;
    const char* key;
    const char* defaultValue;
};

namespace Keys {
inline constexpr IntKey CurrentSite{"Common", "CurrentSite", 0};
inline constexpr BoolKey WindowMax{"Common", "WindowMax", false};
inline constexpr IntKey WindowWidth{"Common", "WindowWidth", 799};
inline constexpr IntKey WindowHeight{"Common", "WindowHeight", 535};
inline constexpr IntKey ThreadCount{"Common", "ThreadCount", 3};
inline constexpr BoolKey RunOnStart{"Common", "RunOnStart", false};
inline constexpr BoolKey UseProxy{"Proxy", "UseProxy", false};
inline constexpr TextKey ProxyServer{"Proxy", "ProxyServer", ""};
inline constexpr IntKey ProxyPort{"Proxy", "ProxyPort", 80};
inline constexpr TextKey ProxyUser{"Proxy", "ProxyUser", ""};
inline constexpr TextKey ProxyPass{"Proxy", "ProxyPass", ""};
// Seconds; exists only when the user adds it by hand.
inline constexpr IntKey ConnectTimeout{"Connect", "Timeout", 10};
// Seconds without a byte received before a fetch fails; 0 means none. Hand-added only.
inline constexpr IntKey ReadTimeout{"Connect", "ReadTimeout", 30};
// Seconds a whole fetch may take, redirects and the retry included; 0 means no limit.
inline constexpr IntKey TotalTimeout{"Connect", "TotalTimeout", 120};
// Whether fetches ask for compressed pages ("Accept-Encoding").
inline constexpr BoolKey Compression{"Connect", "Compression", true};
// How many fetches may talk to one host at once; 0 means no limit.
inline constexpr IntKey PerHostLimit{"Connect", "PerHostLimit", 4};
// Milliseconds between two requests to one host; 0 means none. Hand-added only.
inline constexpr IntKey HostDelay{"Connect", "HostDelay", 0};
// Whether a fetch that failed for a passing reason is tried once more.
inline constexpr BoolKey Retry{"Connect", "Retry", true};
// The User-Agent sent instead of the program's own when not empty. Hand-added only.
inline constexpr TextKey UserAgent{"Connect", "UserAgent", ""};
// "ColumnWidth"/"0", "1", ..., one per column of the inbound links list (LinkColumnCount of them),
// each with DefaultColumnWidth as its default.
IntKey ColumnWidth(int column);
// "ColumnVisible"/"2", "3", ...: 1 shows the column, 0 hides it. Without a value (no key, an empty
// one) the column follows its own rule: shown, but Website only while "All my websites" is focused.
// NoChoice is what a read gives then.
inline constexpr int NoChoice = -1;
IntKey ColumnVisible(int column);
// The details pane under the links list: whether it shows, and its height in pixels.
inline constexpr BoolKey ShowDetails{"Common", "ShowDetails", false};
inline constexpr IntKey DetailsHeight{"Common", "DetailsHeight", 180};
// A link found before whose check now fails is fetched once more, after a pause of that many
// seconds, before the loss is reported.
inline constexpr BoolKey ConfirmLosses{"Check", "ConfirmLosses", true};
inline constexpr IntKey ConfirmPause{"Check", "ConfirmPause", 5};
inline constexpr int MaxConfirmPause = 300;
}  // namespace Keys

// config.ini's contents as one read found them: what a reader of several keys sees together.
class SettingsSnapshot {
public:
    // A missing or unreadable file: every key takes its default.
    SettingsSnapshot() = default;
    explicit SettingsSnapshot(std::optional<QByteArray> contents) : m_contents(std::move(contents)) {}

    // Each read returns the default when the file, section or key is missing or the value unreadable.
    QByteArray readString(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue) const;
    int readInteger(QByteArrayView section, QByteArrayView key, int defaultValue) const;
    bool readBool(QByteArrayView section, QByteArrayView key, bool defaultValue) const;

    int read(const IntKey& k) const { return readInteger(k.section, k.key, k.defaultValue); }
    bool read(const BoolKey& k) const { return readBool(k.section, k.key, k.defaultValue); }
    QByteArray read(const TextKey& k) const { return readString(k.section, k.key, k.defaultValue); }

private:
    std::optional<QByteArray> m_contents;
};

// config.ini, in the private-profile INI format. Every read asks the file: a value written a moment
// ago, by this process or by hand, is what the next reader gets. The bytes themselves are read again
// only when the file may have changed (see CachedFile), which keeps a read cheap enough for every
// check to make its own. Copies share that copy of the bytes. Calls are safe from several threads
// at once.
class SettingsFile {
public:
    explicit SettingsFile(QString path);
    const QString& path() const { return m_path; }

    // The whole file as it is now, for reading several keys from one version of it.
    SettingsSnapshot snapshot() const;

    // Each read returns the default when the file, section or key is missing or the value unreadable.
    QByteArray readString(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue) const;
    int readInteger(QByteArrayView section, QByteArrayView key, int defaultValue) const;
    bool readBool(QByteArrayView section, QByteArrayView key, bool defaultValue) const;

    // Each write is on disk when it returns; a refused write throws AppError "Unable to write to %s".
    void writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value);
    void writeInteger(QByteArrayView section, QByteArrayView key, int value);
    void writeBool(QByteArrayView section, QByteArrayView key, bool value);

    int read(const IntKey& k) const { return readInteger(k.section, k.key, k.defaultValue); }
    bool read(const BoolKey& k) const { return readBool(k.section, k.key, k.defaultValue); }
    QByteArray read(const TextKey& k) const { return readString(k.section, k.key, k.defaultValue); }
    void write(const IntKey& k, int value) { writeInteger(k.section, k.key, value); }
    void write(const BoolKey& k, bool value) { writeBool(k.section, k.key, value); }
    void write(const TextKey& k, QByteArrayView value) { writeString(k.section, k.key, value); }

    // For tests: how many times the file's bytes were read for readers.
    std::uint64_t fileReads() const;

private:
    QString m_path;
    std::shared_ptr<const CachedFile> m_file;
};
