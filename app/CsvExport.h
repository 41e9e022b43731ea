#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class DateTimeCodec;
class LinkList;
class QWidget;
class WebsiteTree;
struct LocaleFormats;
struct rMonitorInfo;

// The header row of an export: the list's columns, then the details of the latest check.
QList<QByteArray> CsvExportHeader();
// One link as a row under that header: every text UTF-8, every text that came from outside defused
// for spreadsheets.
QList<QByteArray> CsvExportRow(const rMonitorInfo& link, const DateTimeCodec& dates, const WebsiteTree* websites);
// The shown rows of the list in display order, with the header row: RFC 4180, UTF-8 with a
// byte-order mark so that spreadsheets read it as such.
QByteArray ShownLinksCsv(const LinkList& links, const LocaleFormats& formats, const WebsiteTree* websites);

// "Export to CSV...": asks for a file through the file dialogs and writes the shown rows to it.
// A refused write throws, for the window's error box.
void ExportShownLinks(QWidget* parent, const LinkList& links, const LocaleFormats& formats,
                      const WebsiteTree* websites);
