#pragma once

#include "model/Records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>

#include <optional>

class LinkList;
class WebsiteTree;

// What quorvane-check writes for each link.
enum class OutputFormat { Tsv, Jsonl, Csv };

// "tsv", "jsonl" or "csv"; nothing for any other text.
std::optional<OutputFormat> ParseOutputFormat(QByteArrayView name);

// "found", "not-found", "connection-error", or "unchecked" for a link no check reported on.
const char* VerdictName(LinkStatus status);

// One link with its latest check: the verdict and what the check found out, under the keys
// verdict, website, page, http_status, error, reason, blocked, final_url, redirects, elapsed_ms,
// bytes, link, href, rel, anchor_text, noindex, page_nofollow, canonical, canonical_elsewhere and
// evidence. Texts are decoded as UTF-8, a byte that is not valid UTF-8 becoming U+FFFD.
QJsonObject LinkObject(const rMonitorInfo& link, QByteArrayView website);

// The visible links in list order, each on a line of its own. tsv: "verdict<TAB>website<TAB>page"
// with the bytes as stored. jsonl: a JSON object a line. csv (RFC 4180, CR LF line ends): a header
// row of the jsonl keys, then a row a link, its arrays joined by blanks, a missing value empty, and a
// text that a spreadsheet would take for a formula with a "'" in front.
QByteArray LinkLines(const LinkList& links, const WebsiteTree& websites, OutputFormat format);
