#include "model/CheckDetails.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr qsizetype EndSize = sizeof(quint32);
constexpr qsizetype StatusSize = sizeof(qint16);

// A status no response can carry is kept as none.
qint16 StoredStatus(int status)
{
    return status >= 0 && status <= 999 ? static_cast<qint16>(status) : qint16(0);
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
      m_elapsedMs(static_cast<qint32>(std::clamp<qint64>(facts.elapsedMs, 0, std::numeric_limits<qint32>::max()))),
      m_status(StoredStatus(facts.httpStatus)),
      m_hops(Clamp16(facts.redirects.size(), 0xffff)),
      m_kind(facts.analysis.kind),
      m_extent(facts.analysis.extent)
{
    const LinkAnalysis& analysis = facts.analysis;
    const QByteArray reason = facts.reason.toUtf8();
    const QByteArrayView texts[FieldCount] = {facts.failure,    reason,       facts.finalUrl,      facts.contentType,
                                              analysis.href,    analysis.rel, analysis.anchorText, analysis.canonical,
                                              analysis.evidence};
    const qsizetype count = FieldCount + m_hops;
    qsizetype total = 0;
    for (const QByteArrayView text : texts)
        total += text.size();
    for (qsizetype i = 0; i < m_hops; ++i)
        total += facts.redirects[i].url.size();

    const qsizetype head = count * EndSize + m_hops * StatusSize;
    m_pool = QByteArray(head + total, Qt::Uninitialized);
    char* ends = m_pool.data();
    char* statuses = ends + count * EndSize;
    char* out = m_pool.data() + head;
    quint32 end = 0;
    const auto put = [&](qsizetype index, QByteArrayView text) {
        if (!text.isEmpty())
            std::memcpy(out + end, text.data(), static_cast<std::size_t>(text.size()));
        end += static_cast<quint32>(text.size());
        std::memcpy(ends + index * EndSize, &end, EndSize);
    };
    for (int i = 0; i < FieldCount; ++i)
        put(i, texts[i]);
    for (qsizetype i = 0; i < m_hops; ++i) {
        put(FieldCount + i, facts.redirects[i].url);
        const qint16 status = StoredStatus(facts.redirects[i].status);
        std::memcpy(statuses + i * StatusSize, &status, StatusSize);
    }

    m_matchStart = Clamp16(analysis.matchStart, analysis.evidence.size());
    m_matchLength = Clamp16(analysis.matchLength, analysis.evidence.size() - m_matchStart);
    m_flags = static_cast<std::uint8_t>((facts.blocked ? BlockedFlag : 0) | (analysis.noindex ? NoindexFlag : 0) |
                                        (analysis.pageNofollow ? PageNofollowFlag : 0) |
                                        (analysis.canonicalElsewhere ? CanonicalElsewhereFlag : 0));
}

QByteArrayView CheckDetails::text(int index) const
{
    if (m_pool.isNull())
        return {};
    const qsizetype count = FieldCount + m_hops;
    const char* texts = m_pool.constData() + count * EndSize + m_hops * StatusSize;
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
    std::memcpy(&status, m_pool.constData() + (FieldCount + m_hops) * EndSize + index * StatusSize, StatusSize);
    return {text(static_cast<int>(FieldCount + index)).toByteArray(), status};
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
    return facts;
}

bool CheckDetails::operator==(const CheckDetails& other) const
{
    return m_pool.isNull() == other.m_pool.isNull() && m_pool == other.m_pool && m_bytes == other.m_bytes &&
        m_elapsedMs == other.m_elapsedMs && m_status == other.m_status && m_hops == other.m_hops &&
        m_matchStart == other.m_matchStart && m_matchLength == other.m_matchLength && m_kind == other.m_kind &&
        m_extent == other.m_extent && m_flags == other.m_flags;
}
