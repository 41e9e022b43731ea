#pragma once

#include "model/DateTime.h"
#include "model/Records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <vector>

class DateTimeCodec;
class LinkList;
class WebsiteTree;

// "MySites.txt" and "Items.txt" in the data folder: one record a line, every field followed by
// "|||", lines ended by CR LF. There is no quoting: a text holding "|||", CR or LF cannot be stored faithfully,
// and stored files rely on exactly this format.

inline constexpr char FieldSeparator[] = "|||";
inline constexpr char WebsitesFileName[] = "MySites.txt";
inline constexpr char LinksFileName[] = "Items.txt";

// One line each, without the line break.
QByteArray WebsiteToLine(const rMySiteInfo& site);
QByteArray LinkToLine(const rMonitorInfo& link, const DateTimeCodec& dates);
QByteArray LinkToLine(const rMonitorInfo& link, const LocaleFormats& formats);

// Never fail: the fields are read in order up to the first that does not convert; it and every
// later field keep their initial empty or 0 value. Text after the last expected separator is ignored.
rMySiteInfo LineToWebsite(QByteArrayView line);
rMonitorInfo LineToLink(QByteArrayView line, const DateTimeCodec& dates);
rMonitorInfo LineToLink(QByteArrayView line, const LocaleFormats& formats);

// Splits a file's bytes into lines at CR LF, a lone CR or a lone LF. A NUL byte ends the text; a
// last line without a break counts, a break at the very end adds no empty line. The views point
// into `text`.
std::vector<QByteArrayView> SplitLines(QByteArrayView text);

// Integer text as the files hold it: an optional sign and decimal digits, within 32 bits.
bool ParseFileInteger(QByteArrayView text, std::int32_t* value);

// `appDir` ends with a path delimiter. The saves replace the file whole (see FileReplacer) and throw
// CannotCreateFile on failure, leaving the old file as it was. The loads append to what is there
// (an empty list, a tree holding only its root) and add nothing, silently, when the file is missing
// or cannot be read.
void SaveWebsites(const QString& appDir, const WebsiteTree& websites);
void SaveLinks(const QString& appDir, const LinkList& links, const LocaleFormats& formats);
void LoadWebsites(const QString& appDir, WebsiteTree& websites);
// `prepare`, when given, sees the records before they join the list.
void LoadLinks(const QString& appDir, LinkList& links, const LocaleFormats& formats,
               const std::function<void(std::vector<LinkRecord>&)>& prepare = {});

// The whole text of the files as the saves write them, for callers that write it elsewhere (backup).
QByteArray WebsitesFileText(const WebsiteTree& websites);
QByteArray LinksFileText(const LinkList& links, const LocaleFormats& formats);
// The records of a file's text as the loads read them.
std::vector<rMySiteInfo> WebsitesFromText(QByteArrayView text);
std::vector<LinkRecord> LinksFromText(QByteArrayView text, const LocaleFormats& formats);
