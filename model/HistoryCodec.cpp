#include "model/HistoryCodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr qint64 MsPerDay = 86400000;
constexpr double LastDay = 2958466;  // 1 January 10000, exclusive
constexpr char DetailsFormat = 1;

// The most bytes one number takes.
constexpr qsizetype MaxNumberBytes = 10;

// Writes numbers (7 bits a byte, low first, the high bit saying more follows) and length-prefixed
// values into room made beforehand: every check's details are encoded as it is recorded, and growing
// a QByteArray a byte at a time cost more than the rest.
class RawWriter {
public:
    explicit RawWriter(char* at) : m_at(at) {}

    char* end() const { return m_at; }

    void number(quint64 value)
    {
        do {
            const char byte = static_cast<char>(value & 0x7f);
            value >>= 7;
            *m_at++ = value ? static_cast<char>(byte | 0x80) : byte;
        } while (value);
    }

    void value(QByteArrayView bytes)
    {
        number(static_cast<quint64>(bytes.size()));
        if (!bytes.isEmpty())
            std::memcpy(m_at, bytes.data(), static_cast<std::size_t>(bytes.size()));
        m_at += bytes.size();
    }

private:
    char* m_at;
};

void PutNumber(QByteArray& out, quint64 value)
{
    char bytes[MaxNumberBytes];
    RawWriter writer(bytes);
    writer.number(value);
    out.append(bytes, writer.end() - bytes);
}

void PutValue(QByteArray& out, QByteArrayView value)
{
    PutNumber(out, static_cast<quint64>(value.size()));
    out.append(value);
}

void PutText(QByteArray& out, QByteArrayView text)
{
    PutValue(out, BoundedText(text));
}

// Reads what PutNumber and PutText wrote; once anything is out of bounds every later read fails.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool failed() const { return m_failed; }
    bool atEnd() const { return m_pos >= m_bytes.size(); }

    quint64 number()
    {
        quint64 value = 0;
        for (int shift = 0; !m_failed && shift < 64; shift += 7) {
            if (atEnd())
                break;
            const auto byte = static_cast<unsigned char>(m_bytes[m_pos++]);
            value |= quint64(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return value;
        }
        m_failed = true;
        return 0;
    }

    QByteArrayView text() { return BoundedText(value()); }

    // A value of any length, bounded only by the bytes it is read from.
    QByteArrayView value()
    {
        const quint64 size = number();
        if (m_failed || size > quint64(m_bytes.size() - m_pos)) {
            m_failed = true;
            return {};
        }
        const QByteArrayView value = m_bytes.sliced(m_pos, static_cast<qsizetype>(size));
        m_pos += static_cast<qsizetype>(size);
        return value;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

qint64 ClampedCount(quint64 value)
{
    return static_cast<qint64>(std::min<quint64>(value, quint64(1) << 62));
}

}  // namespace

std::optional<qint64> DayCountToMs(double dayCount)
{
    if (!std::isfinite(dayCount) || dayCount <= -693594 || dayCount >= LastDay)
        return std::nullopt;
    return std::llround(dayCount * double(MsPerDay));
}

double MsToDayCount(qint64 ms)
{
    return double(ms) / double(MsPerDay);
}

bool IsCheckTime(qint64 ms)
{
    return ms > 0 && ms < qint64(LastDay) * MsPerDay;
}

QByteArrayView BoundedText(QByteArrayView text)
{
    return text.size() > MaxStoredText ? text.first(MaxStoredText) : text;
}

std::optional<LinkStatus> StoredVerdict(qint64 code)
{
    if (code == lsFound || code == lsNotFound || code == lsConnectionError)
        return static_cast<LinkStatus>(code);
    return std::nullopt;
}

LinkKind StoredLinkKind(qint64 code)
{
    return code >= 0 && code <= qint64(LinkKind::None) ? static_cast<LinkKind>(code) : LinkKind::Unknown;
}

AnalysisExtent StoredExtent(qint64 code)
{
    return code >= 0 && code <= qint64(AnalysisExtent::Abandoned) ? static_cast<AnalysisExtent>(code)
                                                                  : AnalysisExtent::NotAnalysed;
}

int StoredHttpStatus(qint64 code)
{
    return code >= 0 && code <= 999 ? static_cast<int>(code) : 0;
}

qint64 StoredCount(qint64 value)
{
    return std::max<qint64>(value, 0);
}

int FlagsOf(const CheckDetails& details, bool confirmation)
{
    return (details.blocked() ? FlagBlocked : 0) | (details.noindex() ? FlagNoindex : 0) |
        (details.pageNofollow() ? FlagPageNofollow : 0) | (details.canonicalElsewhere() ? FlagCanonicalElsewhere : 0) |
        (confirmation ? FlagConfirmation : 0);
}

void ApplyFlags(CheckFacts& facts, qint64 flags)
{
    facts.blocked = flags & FlagBlocked;
    facts.analysis.noindex = flags & FlagNoindex;
    facts.analysis.pageNofollow = flags & FlagPageNofollow;
    facts.analysis.canonicalElsewhere = flags & FlagCanonicalElsewhere;
}

QByteArray EncodeRedirects(const QList<RedirectStep>& steps)
{
    QByteArray out;
    for (qsizetype i = 0; i < std::min(steps.size(), MaxStoredRedirects); ++i) {
        PutNumber(out, static_cast<quint64>(StoredHttpStatus(steps[i].status)));
        PutText(out, steps[i].url);
    }
    return out;
}

namespace {

// Texts either copied or left pointing into `bytes`, for a caller that copies them on at once.
QByteArray TextOf(QByteArrayView text, bool copy)
{
    if (text.isEmpty())
        return {};
    return copy ? text.toByteArray() : QByteArray::fromRawData(text.data(), text.size());
}

QList<RedirectStep> Redirects(QByteArrayView bytes, bool copy)
{
    QList<RedirectStep> steps;
    Reader in(bytes);
    while (!in.atEnd() && steps.size() < MaxStoredRedirects) {
        const quint64 status = in.number();
        const QByteArrayView url = in.text();
        if (in.failed())
            break;
        steps.append({TextOf(url, copy), StoredHttpStatus(static_cast<qint64>(std::min<quint64>(status, 1000)))});
    }
    return steps;
}

QList<AttemptStep> Attempts(QByteArrayView bytes, bool copy)
{
    Reader in(bytes);
    const quint64 count = in.number();
    if (in.failed() || count > quint64(MaxStoredAttempts))
        return {};
    QList<AttemptStep> steps;
    steps.reserve(static_cast<qsizetype>(count));
    for (quint64 i = 0; i < count; ++i) {
        AttemptStep step;
        step.status = StoredHttpStatus(static_cast<qint64>(std::min<quint64>(in.number(), 1000)));
        step.pauseMs = ClampedCount(in.number());
        step.elapsedMs = ClampedCount(in.number());
        step.failure = TextOf(in.text(), copy);
        step.reason = QString::fromUtf8(in.text());
        if (in.failed())
            return {};
        steps.append(std::move(step));
    }
    return in.atEnd() ? steps : QList<AttemptStep>();
}

CheckFacts Details(QByteArrayView bytes, bool copy)
{
    CheckFacts facts;
    if (bytes.isEmpty() || bytes.front() != DetailsFormat)
        return facts;
    Reader in(bytes.sliced(1));
    facts.httpStatus = StoredHttpStatus(static_cast<qint64>(std::min<quint64>(in.number(), 1000)));
    facts.elapsedMs = ClampedCount(in.number());
    facts.bytesReceived = ClampedCount(in.number());
    LinkAnalysis& analysis = facts.analysis;
    analysis.kind = StoredLinkKind(static_cast<qint64>(std::min<quint64>(in.number(), 255)));
    analysis.extent = StoredExtent(static_cast<qint64>(std::min<quint64>(in.number(), 255)));
    ApplyFlags(facts, static_cast<qint64>(in.number() & 0xff));
    analysis.matchStart = static_cast<int>(std::min<quint64>(in.number(), MaxStoredText));
    analysis.matchLength = static_cast<int>(std::min<quint64>(in.number(), MaxStoredText));
    QByteArray* const texts[] = {&facts.failure,    nullptr,       &facts.finalUrl,      &facts.contentType,
                                 &analysis.href,    &analysis.rel, &analysis.anchorText, &analysis.canonical,
                                 &analysis.evidence};
    for (QByteArray* text : texts) {
        const QByteArrayView value = in.text();
        if (text)
            *text = TextOf(value, copy);
        else if (!value.isEmpty())
            facts.reason = QString::fromUtf8(value);
    }
    // Once a length runs past the end every later field stays empty; what came before it stays.
    facts.redirects = Redirects(in.text(), copy);
    if (!in.atEnd())
        facts.attempts = Attempts(in.value(), copy);
    return facts;
}

}  // namespace

QList<RedirectStep> DecodeRedirects(QByteArrayView bytes)
{
    return Redirects(bytes, true);
}

QByteArray EncodeAttempts(const QList<AttemptStep>& steps)
{
    QByteArray out;
    const qsizetype count = std::min(steps.size(), MaxStoredAttempts);
    if (count == 0)
        return out;
    PutNumber(out, static_cast<quint64>(count));
    for (qsizetype i = 0; i < count; ++i) {
        const AttemptStep& step = steps[i];
        PutNumber(out, static_cast<quint64>(StoredHttpStatus(step.status)));
        PutNumber(out, static_cast<quint64>(StoredCount(step.pauseMs)));
        PutNumber(out, static_cast<quint64>(StoredCount(step.elapsedMs)));
        PutText(out, step.failure);
        PutText(out, step.reason.toUtf8());
    }
    return out;
}

QList<AttemptStep> DecodeAttempts(QByteArrayView bytes)
{
    return Attempts(bytes, true);
}

QList<AttemptStep> AttemptsOf(const CheckDetails& details)
{
    QList<AttemptStep> steps;
    const qsizetype count = std::min(details.attemptCount(), MaxStoredAttempts);
    steps.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        steps.append(details.attempt(i));
    return steps;
}

namespace {

// The redirect hops as the history stores them: at most MaxStoredRedirects.
QByteArray StoredRedirects(const CheckDetails& details)
{
    if (details.redirectCount() == 0)
        return {};
    QList<RedirectStep> steps;
    for (qsizetype i = 0; i < std::min(details.redirectCount(), MaxStoredRedirects); ++i)
        steps.append(details.redirect(i));
    return EncodeRedirects(steps);
}

}  // namespace

QByteArray EncodeDetails(const CheckDetails& details)
{
    const QByteArray reason = details.reason().toUtf8();
    const QByteArrayView texts[] = {details.failure(), reason,        details.finalUrl(),   details.contentType(),
                                    details.href(),    details.rel(), details.anchorText(), details.canonical(),
                                    details.evidence()};
    const QByteArray redirects = StoredRedirects(details);

    qsizetype most = 1 + 9 * MaxNumberBytes + redirects.size();
    for (const QByteArrayView text : texts)
        most += MaxNumberBytes + BoundedText(text).size();
    QByteArray out(most, Qt::Uninitialized);
    out[0] = DetailsFormat;
    RawWriter writer(out.data() + 1);
    writer.number(static_cast<quint64>(StoredHttpStatus(details.httpStatus())));
    writer.number(static_cast<quint64>(StoredCount(details.elapsedMs())));
    writer.number(static_cast<quint64>(StoredCount(details.bytesReceived())));
    writer.number(static_cast<quint64>(details.linkKind()));
    writer.number(static_cast<quint64>(details.extent()));
    writer.number(static_cast<quint64>(FlagsOf(details, false)));
    writer.number(static_cast<quint64>(details.matchStart()));
    writer.number(static_cast<quint64>(details.matchLength()));
    for (const QByteArrayView text : texts)
        writer.value(BoundedText(text));
    writer.value(BoundedText(redirects));
    out.truncate(writer.end() - out.constData());
    // Each of their texts is bounded, and so is their number, so the whole needs no cut.
    if (details.attemptCount() > 0)
        PutValue(out, EncodeAttempts(AttemptsOf(details)));
    return out;
}

CheckFacts DecodeDetails(QByteArrayView bytes)
{
    return Details(bytes, true);
}

DetailsView ViewDetails(QByteArrayView bytes)
{
    DetailsView view;
    if (bytes.isEmpty() || bytes.front() != DetailsFormat)
        return view;
    Reader in(bytes.sliced(1));
    for (int number = 0; number < 3; ++number)  // status, elapsed time, bytes received
        in.number();
    view.kind = StoredLinkKind(static_cast<qint64>(std::min<quint64>(in.number(), 255)));
    in.number();  // extent
    view.flags = static_cast<int>(in.number() & 0xff);
    view.matchStart = static_cast<int>(std::min<quint64>(in.number(), MaxStoredText));
    view.matchLength = static_cast<int>(std::min<quint64>(in.number(), MaxStoredText));
    // Stored in this order; the redirects come after them.
    constexpr int order[] = {0, 1, 2, 4, 5, 6, 7, 8, 9};
    for (const int text : order)
        view.texts[std::size_t(text)] = in.text();
    view.texts[3] = in.text();
    return view;
}

DetailsView ViewOfDetails(const CheckDetails& details, QByteArray& reason, QByteArray& redirects)
{
    reason = details.reason().toUtf8();
    redirects = StoredRedirects(details);
    DetailsView view;
    view.kind = details.linkKind();
    view.flags = FlagsOf(details, false) & 0xff;
    view.matchStart = static_cast<int>(std::min<quint64>(static_cast<quint64>(details.matchStart()), MaxStoredText));
    view.matchLength = static_cast<int>(std::min<quint64>(static_cast<quint64>(details.matchLength()), MaxStoredText));
    const QByteArrayView texts[] = {
        details.failure(), reason,        details.finalUrl(),   redirects,           details.contentType(),
        details.href(),    details.rel(), details.anchorText(), details.canonical(), details.evidence()};
    for (std::size_t text = 0; text < view.texts.size(); ++text)
        view.texts[text] = BoundedText(texts[text]);
    return view;
}

CheckDetails DecodeCheckDetails(QByteArrayView bytes)
{
    return CheckDetails(Details(bytes, false));
}
