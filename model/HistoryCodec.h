#pragma once

#include "model/CheckDetails.h"
#include "model/Records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <array>
#include <optional>

// How the history file holds what a check found, and how values read back from it are made safe:
// the file may have been edited by hand or damaged, so every length is bounded and every code that
// is not one of ours becomes a harmless one.

// Times are kept as whole milliseconds of the day count (days since 30 December 1899, local time).
// Nothing when the value is not a date-time at all (not finite, or outside the calendar).
std::optional<qint64> DayCountToMs(double dayCount);
double MsToDayCount(qint64 ms);
// A stored time that can stand for a check: after 30 December 1899 and before the year 10000.
bool IsCheckTime(qint64 ms);

// No text longer than this is written or read back; longer ones are cut. Page addresses that serve
// as keys are never cut: a longer one is not recorded at all.
inline constexpr qsizetype MaxStoredText = 64 * 1024;
inline constexpr qsizetype MaxStoredRedirects = 32;
inline constexpr qsizetype MaxStoredAttempts = 32;
QByteArrayView BoundedText(QByteArrayView text);

// Only the three outcomes of a check are ever stored.
std::optional<LinkStatus> StoredVerdict(qint64 code);
LinkKind StoredLinkKind(qint64 code);
AnalysisExtent StoredExtent(qint64 code);
int StoredHttpStatus(qint64 code);
qint64 StoredCount(qint64 value);  // a time or a size: never negative

// A check's flags in one number.
enum StoredFlag : int {
    FlagBlocked = 1,
    FlagNoindex = 2,
    FlagPageNofollow = 4,
    FlagCanonicalElsewhere = 8,
    FlagConfirmation = 16,
};
int FlagsOf(const CheckDetails& details, bool confirmation);
void ApplyFlags(CheckFacts& facts, qint64 flags);

// The redirect hops as one value: for each, its status and its address, each length-prefixed.
QByteArray EncodeRedirects(const QList<RedirectStep>& steps);
QList<RedirectStep> DecodeRedirects(QByteArrayView bytes);

// The tries of a fetch that was tried again, as one value: their number, then for each its status,
// pause, time taken, failure kind and reason. Empty for no tries, so that a check one try settled
// stores nothing. A value that is cut short, holds more than it says or says more than
// MaxStoredAttempts gives back no tries at all: half a list would tell a different story.
QByteArray EncodeAttempts(const QList<AttemptStep>& steps);
QList<AttemptStep> DecodeAttempts(QByteArrayView bytes);
// The tries of a check, as many as are stored.
QList<AttemptStep> AttemptsOf(const CheckDetails& details);

// Every field of a check's details as one value, for the latest check of each link. A value that is
// cut short or not in this form gives back what could be read, the rest left empty. The tries come
// last, and only when there were some: a value written before tries were kept reads as one without.
QByteArray EncodeDetails(const CheckDetails& details);
CheckFacts DecodeDetails(QByteArrayView bytes);

// Encoded details read in place, for comparing two checks without decoding either. The texts are
// views into the bytes given, in the order of a check row's text columns: failure, reason, final
// address, redirects (as EncodeRedirects wrote them), Content-Type, href, rel, anchor text, canonical,
// evidence. Bytes of another format read as details without a check.
struct DetailsView {
    LinkKind kind = LinkKind::Unknown;
    int flags = 0;
    int matchStart = 0;
    int matchLength = 0;
    std::array<QByteArrayView, 10> texts;
};
DetailsView ViewDetails(QByteArrayView bytes);
// The view ViewDetails(EncodeDetails(details)) gives, without encoding. Two of its texts are made
// for it and kept in `reason` and `redirects`, which must outlive the view.
DetailsView ViewOfDetails(const CheckDetails& details, QByteArray& reason, QByteArray& redirects);
// The same, without copying every text twice.
CheckDetails DecodeCheckDetails(QByteArrayView bytes);
