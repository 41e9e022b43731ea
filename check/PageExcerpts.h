#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <gumbo.h>

struct LinkAnalysis;

// The most characters an anchor text keeps, and the most bytes of page source an excerpt shows.
inline constexpr int AnchorTextLimit = 200;
inline constexpr qsizetype ExcerptLimit = 300;

// Text with runs of ASCII whitespace made one blank, trimmed, cut after AnchorTextLimit characters.
QByteArray CollapsedText(QByteArrayView text);

// What a link says: its text, without scripts, styles and templates, collapsed as above; the alt
// text of the first image in it when it has no text; an <area>'s alt text.
QByteArray AnchorText(const GumboNode* link);

// Up to ExcerptLimit bytes of `source` around [start, end), into the evidence of `analysis` with
// where that range lies in it. The excerpt does not begin or end inside a UTF-8 sequence.
void SetEvidence(QByteArrayView source, qsizetype start, qsizetype end, LinkAnalysis& analysis);

// The same around the source of an element: its start tag to its end tag. Nothing for an element
// the parser made up without a tag in the source.
void SetEvidence(QByteArrayView source, const GumboNode* element, LinkAnalysis& analysis);
