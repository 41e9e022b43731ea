#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>

#include <cstdint>
#include <vector>

class LinkList;

// The pieces of an HTML report, filled from its templates. Placeholders match exactly, letter case
// included; every occurrence is replaced and values go in as they are, unescaped.

// count of total as a percentage with two decimals, halves away from zero, computed in integers so
// that 1 of 32 reads 3.13 and 2 of 3 reads 66.67. total must be above 0.
QByteArray ReportPercent(std::int64_t count, std::int64_t total, QChar decimalSeparator);

// The body template filled for one website: "[Total]", then "[Found]", "[NotFound]" and "[Error]"
// as "count (percent%)", and as those "[Followed]", "[Nofollow]" and "[Mention]": the links whose
// latest check found that kind of link on the page. Empty when no link of the list belongs to the
// website.
QByteArray BuildSiteBody(std::int32_t siteId, QByteArrayView bodyTemplate, const LinkList& links,
                         QChar decimalSeparator);

// The title lines, the body as one line, then the bottom lines, each ended with CR LF.
QByteArray AssembleReport(const std::vector<QByteArray>& titleLines, QByteArrayView body,
                          const std::vector<QByteArray>& bottomLines);

// A template's lines as the data files split them.
std::vector<QByteArray> TemplateLines(QByteArrayView text);
