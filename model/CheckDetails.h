#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>

// Whether a fetched page links to the website, and how.
enum class LinkKind : std::uint8_t {
    Unknown,   // nothing was fetched, or the page was not analysed (see AnalysisExtent)
    Followed,  // a link to the website that search engines follow, on a page without nofollow
    Nofollow,  // links to the website, none of them followed
    Mention,   // no link, but the page holds the address as the verdict's byte search finds it
    None,
};

// How much of the page the link analysis saw.
enum class AnalysisExtent : std::uint8_t {
    NotAnalysed,  // no body with a 2xx status, or bot protection answered
    Whole,
    Prefix,     // only the first part of a page too long to analyse whole
    Abandoned,  // the page needed more time or memory than an analysis may take
};

// "followed", "nofollow", "mention", "none"; empty for Unknown.
QByteArrayView LinkKindName(LinkKind kind);

// What the link analysis found on one page. A plain value; page texts are UTF-8 bytes.
struct LinkAnalysis {
    LinkKind kind = LinkKind::Unknown;
    AnalysisExtent extent = AnalysisExtent::NotAnalysed;
    bool noindex = false;
    bool pageNofollow = false;
    bool canonicalElsewhere = false;

    // The shown link: the first followed link to the website, or else the first link to it.
    QByteArray href;        // resolved against the document's base
    QByteArray rel;         // its rel tokens in lower case, one blank between two
    QByteArray anchorText;  // whitespace collapsed, at most 200 characters

    QByteArray canonical;  // resolved, or empty when the page names none

    // Page source around the shown link, or around the first mention, and where that lies in it.
    QByteArray evidence;
    int matchStart = 0;
    int matchLength = 0;

    bool operator==(const LinkAnalysis&) const = default;
};

// One redirect followed: the address that answered with it, and its status.
struct RedirectStep {
    QByteArray url;
    int status = 0;

    bool operator==(const RedirectStep&) const = default;
};

// One try of a fetch that was tried more than once.
struct AttemptStep {
    QByteArray failure;  // its failure kind in kebab case, empty when it succeeded
    int status = 0;      // the last status code it read; 0 when none was
    QString reason;      // why it failed, for a person
    qint64 pauseMs = 0;  // the wait before it; 0 for the first
    qint64 elapsedMs = 0;

    bool operator==(const AttemptStep&) const = default;
};

// Everything one check found out, as plain fields: what CheckDetails is made from and gives back.
struct CheckFacts {
    int httpStatus = 0;   // of the last response; 0 when no status was read
    QByteArray failure;   // the failure kind in kebab case ("connect-timeout"), empty on success
    QString reason;       // why it failed, for a person
    QByteArray finalUrl;  // the last address requested
    QList<RedirectStep> redirects;
    qint64 elapsedMs = 0;
    qint64 bytesReceived = 0;
    QByteArray contentType;
    bool blocked = false;  // bot protection or a rate limit answered, not the page
    LinkAnalysis analysis;
    // Every try in order when the fetch was tried again; empty when one try settled it, whose
    // outcome the fields above already tell. The fields above are the last try's.
    QList<AttemptStep> attempts;

    bool operator==(const CheckFacts&) const = default;
};

// The details of a check, kept beside its verdict. A record keeps the latest one for every link,
// so the value is small: the numbers and flags inline, every text in one shared block. Copies share
// that block, which makes handing a value from a worker to the UI thread cheap and safe.
class CheckDetails {
public:
    CheckDetails() = default;  // no check has run
    explicit CheckDetails(const CheckFacts& facts);

    CheckFacts facts() const;
    bool isNull() const { return m_pool.isNull(); }

    int httpStatus() const { return m_status; }
    QByteArrayView failure() const { return text(Failure); }
    QString reason() const { return QString::fromUtf8(text(Reason)); }
    QByteArrayView finalUrl() const { return text(FinalUrl); }
    qsizetype redirectCount() const { return m_hops; }
    RedirectStep redirect(qsizetype index) const;
    qint64 elapsedMs() const { return m_elapsedMs; }
    qint64 bytesReceived() const { return m_bytes; }
    QByteArrayView contentType() const { return text(ContentType); }
    bool blocked() const { return m_flags & BlockedFlag; }

    LinkKind linkKind() const { return m_kind; }
    AnalysisExtent extent() const { return m_extent; }
    bool noindex() const { return m_flags & NoindexFlag; }
    bool pageNofollow() const { return m_flags & PageNofollowFlag; }
    bool canonicalElsewhere() const { return m_flags & CanonicalElsewhereFlag; }
    QByteArrayView href() const { return text(Href); }
    QByteArrayView rel() const { return text(Rel); }
    QList<QByteArrayView> relTokens() const;
    QByteArrayView anchorText() const { return text(AnchorText); }
    QByteArrayView canonical() const { return text(Canonical); }
    QByteArrayView evidence() const { return text(Evidence); }
    int matchStart() const { return m_matchStart; }
    int matchLength() const { return m_matchLength; }

    qsizetype attemptCount() const { return m_tries; }
    AttemptStep attempt(qsizetype index) const;

    bool operator==(const CheckDetails& other) const;

private:
    // The texts in the pool, in this order; the redirects' addresses follow them, then each
    // attempt's failure kind and reason.
    enum Field : int { Failure, Reason, FinalUrl, ContentType, Href, Rel, AnchorText, Canonical, Evidence, FieldCount };
    enum Flag : std::uint8_t {
        BlockedFlag = 1,
        NoindexFlag = 2,
        PageNofollowFlag = 4,
        CanonicalElsewhereFlag = 8,
    };

    QByteArrayView text(qsizetype index) const;
    qsizetype textCount() const { return FieldCount + m_hops + 2 * qsizetype(m_tries); }
    qsizetype numbersStart() const;
    qsizetype textsStart() const;

    // The pool: the end of every text (32-bit, from the start of the texts), the redirects'
    // statuses (16-bit), each attempt's status (16-bit), pause and time taken (32-bit each), then
    // the texts themselves one after another.
    QByteArray m_pool;
    qint64 m_bytes = 0;
    qint32 m_elapsedMs = 0;
    qint16 m_status = 0;
    std::uint16_t m_hops = 0;
    std::uint16_t m_matchStart = 0;
    std::uint16_t m_matchLength = 0;
    LinkKind m_kind = LinkKind::Unknown;
    AnalysisExtent m_extent = AnalysisExtent::NotAnalysed;
    std::uint8_t m_flags = 0;
    std::uint8_t m_tries = 0;
};

// The latest details of a link, as its record keeps them: one pointer, null until a check has
// reported, so that a link never checked costs no more than that. Copies copy the value (whose
// texts are shared).
class DetailsHandle {
public:
    DetailsHandle() = default;
    DetailsHandle(const DetailsHandle& other);
    DetailsHandle& operator=(const DetailsHandle& other);
    DetailsHandle(DetailsHandle&&) noexcept = default;
    DetailsHandle& operator=(DetailsHandle&&) noexcept = default;
    ~DetailsHandle();

    // A null value when no check has reported.
    const CheckDetails& get() const;
    // Null details let the value go.
    void set(CheckDetails details);

private:
    std::unique_ptr<const CheckDetails> m_value;
};
