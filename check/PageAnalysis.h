#pragma once

#include "check/HtmlDocument.h"
#include "model/CheckDetails.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <utility>

using ResponseHeaders = QList<std::pair<QByteArray, QByteArray>>;

// Whether and how a page links to the website whose Url is `websiteUrl`: the page parsed as HTML5,
// its <a href> and <area href> elements resolved against the document's base (the first <base href>,
// or else `finalUrl`), its robots directives from meta elements and X-Robots-Tag headers, and its
// canonical from the first <link rel="canonical"> or a Link header.
//
// A pure function of its arguments, safe on any thread. A page beyond the parser's limits is
// analysed in part (AnalysisExtent::Prefix) or not at all (AnalysisExtent::Abandoned, LinkKind::
// Unknown, with what the headers and the byte search tell).
LinkAnalysis AnalysePage(QByteArrayView page, const ResponseHeaders& headers, QByteArrayView finalUrl,
                         QByteArrayView websiteUrl, const ParseLimits& limits = ParseLimits());
