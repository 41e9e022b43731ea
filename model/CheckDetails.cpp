#include "model/CheckDetails.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr qsizetype EndSize = sizeof(quint32);
constexpr qsizetype StatusSize = sizeof(qint16);
constexpr qsizetype AttemptNumbersSize = sizeof(qint16) + 2 * sizeof(qint32);

// A status no response can carry is kept as none.
qint16 StoredStatus(int status)
{
    return status >= 0 && status <= 999 ? static_cast<qint16>(status) : qint16(0);
}

qint32 Clamp32(qint64 value)
{
    return static_cast<qint32>(std::clamp<qint64>(value, 0, std::numeric_limits<qint32>::max()));
}

std::uint16_t Clamp16(qsizetype value, qsizetype high)
{
    return static_cast<std::uint16_t>(std::clamp<qsizetype>(value, 0, std::min<qsizetype>(high, 0xffff)));
}

}  // namespace

QByteArrayView LinkKindName(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Unknown: return {};
    case LinkKind::Followed: return "followed";
    case LinkKind::Nofollow: return "nofollow";
    case LinkKind::Mention: return "mention";
    case LinkKind::None: return "none";
    }
    return {};
}

CheckDetails::CheckDetails(const CheckFacts& facts)
    : m_bytes(facts.bytesReceived),
      m_elapsedMs(Clamp32(facts.elapsedMs)),
      m_status(StoredStatus(facts.httpStatus)),
      m_hops(Clamp16(facts.redirects.size(), 0xffff)),
      m_kind(facts.analysis.kind),
      m_extent(facts.analysis.extent),
      m_tries(static_cast<std::uint8_t>(std::min<qsizetype>(facts.attempts.size(), 0xff)))
{
    const LinkAnalysis& analysis = facts.analysis;
    const QByteArray reason = facts.reason.toUtf8();
    std::vector<QByteArray> tryReasons;
    tryReasons.reserve(m_tries);
    for (qsizetype i = 0; i < m_tries; ++i)
        tryReasons.push_back(facts.attempts[i].reason.toUtf8());
    const QByteArrayView texts[FieldCount] = {facts.failure,    reason,       facts.finalUrl,      facts.contentType,
                                              analysis.href,    analysis.rel, analysis.anchorText, analysis.canonical,
                                              analysis.evidence};
    qsizetype total = 0;
    for (const QByteArrayView text : texts)
        total += text.size();
    for (qsizetype i = 0; i < m_hops; ++i)
        total += facts.redirects[i].url.size();
    for (qsizetype i = 0; i < m_tries; ++i)
        total += facts.attempts[i].failure.size() + tryReasons[static_cast<std::size_t>(i)].size();

    const qsizetype head = textsStart();
    m_pool = QByteArray(head + total, Qt::Uninitialized);
    char* ends = m_pool.data();
    char* numbers = m_pool.data() + numbersStart();
    char* out = m_pool.data() + head;
    quint32 end = 0;
    qsizetype index = 0;
    const auto put = [&](QByteArrayView text) {
        if (!text.isEmpty())
            std::memcpy(out + end, text.data(), static_cast<std::size_t>(text.size()));
        end += static_cast<quint32>(text.size());
        std::memcpy(ends + index++ * EndSize, &end, EndSize);
    };
    const auto number = [&numbers](auto value) {
        std::memcpy(numbers, &value, sizeof value);
        numbers += sizeof value;
    };
    for (const QByteArrayView text : texts)
        put(text);
    for (qsizetype i = 0; i < m_hops; ++i) {
        put(facts.redirects[i].url);
        number(StoredStatus(facts.redirects[i].status));
    }
    for (qsizetype i = 0; i < m_tries; ++i) {
        const AttemptStep& step = facts.attempts[i];
        put(step.failure);
        put(tryReasons[static_cast<std::size_t>(i)]);
        number(StoredStatus(step.status));
        number(Clamp32(step.pauseMs));
        number(Clamp32(step.elapsedMs));
    }

    m_matchStart = Clamp16(analysis.matchStart, analysis.evidence.size());
    m_matchLength = Clamp16(analysis.matchLength, analysis.evidence.size() - m_matchStart);
    m_flags = static_cast<std::uint8_t>((facts.blocked ? BlockedFlag : 0) | (analysis.noindex ? NoindexFlag : 0) |
                                        (analysis.pageNofollow ? PageNofollowFlag : 0) |
                                        (analysis.canonicalElsewhere ? CanonicalElsewhereFlag : 0));
}

qsizetype CheckDetails::numbersStart() const
{
    return textCount() * EndSize;
}

qsizetype CheckDetails::textsStart() const
{
    return numbersStart() + m_hops * StatusSize + qsizetype(m_tries) * AttemptNumbersSize;
}

QByteArrayView CheckDetails::text(qsizetype index) const
{
    if (m_pool.isNull())
        return {};
    const char* texts = m_pool.constData() + textsStart();
    quint32 start = 0;
    quint32 end = 0;
    if (index > 0)
        std::memcpy(&start, m_pool.constData() + (index - 1) * EndSize, EndSize);
    std::memcpy(&end, m_pool.constData() + index * EndSize, EndSize);
    return QByteArrayView(texts + start, end - start);
}

RedirectStep CheckDetails::redirect(qsizetype index) const
{
    if (index < 0 || index >= m_hops)
        return {};
    qint16 status = 0;
    std::memcpy(&status, m_pool.constData() + numbersStart() + index * StatusSize, StatusSize);
    return {text(FieldCount + index).toByteArray(), status};
}

AttemptStep CheckDetails::attempt(qsizetype index) const
{
    if (index < 0 || index >= m_tries)
        return {};
    const char* numbers = m_pool.constData() + numbersStart() + m_hops * StatusSize + index * AttemptNumbersSize;
    qint16 status = 0;
    qint32 pause = 0;
    qint32 elapsed = 0;
    std::memcpy(&status, numbers, sizeof status);
    std::memcpy(&pause, numbers + sizeof status, sizeof pause);
    std::memcpy(&elapsed, numbers + sizeof status + sizeof pause, sizeof elapsed);
    const qsizetype texts = FieldCount + m_hops + 2 * index;
    return {text(texts).toByteArray(), status, QString::fromUtf8(text(texts + 1)), pause, elapsed};
}

QList<QByteArrayView> CheckDetails::relTokens() const
{
    QList<QByteArrayView> tokens;
    const QByteArrayView all = rel();
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(' ', start);
        if (end < 0)
            end = all.size();
        if (end > start)
            tokens.append(all.sliced(start, end - start));
        start = end + 1;
    }
    return tokens;
}

CheckFacts CheckDetails::facts() const
{
    CheckFacts facts;
    if (isNull())
        return facts;
    facts.httpStatus = m_status;
    facts.failure = failure().toByteArray();
    facts.reason = reason();
    facts.finalUrl = finalUrl().toByteArray();
    for (qsizetype i = 0; i < m_hops; ++i)
        facts.redirects.append(redirect(i));
    facts.elapsedMs = m_elapsedMs;
    facts.bytesReceived = m_bytes;
    facts.contentType = contentType().toByteArray();
    facts.blocked = blocked();
    LinkAnalysis& analysis = facts.analysis;
    analysis.kind = m_kind;
    analysis.extent = m_extent;
    analysis.noindex = noindex();
    analysis.pageNofollow = pageNofollow();
    analysis.canonicalElsewhere = canonicalElsewhere();
    analysis.href = href().toByteArray();
    analysis.rel = rel().toByteArray();
    analysis.anchorText = anchorText().toByteArray();
    analysis.canonical = canonical().toByteArray();
    analysis.evidence = evidence().toByteArray();
    analysis.matchStart = m_matchStart;
    analysis.matchLength = m_matchLength;
    for (qsizetype i = 0; i < m_tries; ++i)
        facts.attempts.append(attempt(i));
    return facts;
}

bool CheckDetails::operator==(const CheckDetails& other) const
{
    return m_pool.isNull() == other.m_pool.isNull() && m_pool == other.m_pool && m_bytes == other.m_bytes &&
        m_elapsedMs == other.m_elapsedMs && m_status == other.m_status && m_hops == other.m_hops &&
        m_matchStart == other.m_matchStart && m_matchLength == other.m_matchLength && m_kind == other.m_kind &&
        m_extent == other.m_extent && m_flags == other.m_flags && m_tries == other.m_tries;
}

DetailsHandle::DetailsHandle(const DetailsHandle& other)
    : m_value(other.m_value ? std::make_unique<const CheckDetails>(*other.m_value) : nullptr)
{
}

DetailsHandle& DetailsHandle::operator=(const DetailsHandle& other)
{
    if (this != &other)
        m_value = other.m_value ? std::make_unique<const CheckDetails>(*other.m_value) : nullptr;
    return *this;
}

DetailsHandle::~DetailsHandle() = default;

const CheckDetails& DetailsHandle::get() const
{
    static const CheckDetails none;
    return m_value ? *m_value : none;
}

void DetailsHandle::set(CheckDetails details)
{
    if (details.isNull())
        m_value.reset();
    else
        m_value = std::make_unique<const CheckDetails>(std::move(details));
}
