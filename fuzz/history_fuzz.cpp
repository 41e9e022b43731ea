// The history file's encoded values, as a damaged or hand-edited file may hold them. Decoding stays
// within its bounds whatever the bytes, and what it gives back encodes and decodes to itself.
#include "model/HistoryCodec.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

void checkBounded(const QList<AttemptStep>& steps);

void checkBounded(const CheckFacts& facts)
{
    const LinkAnalysis& analysis = facts.analysis;
    for (const QByteArray* text : {&facts.failure, &facts.finalUrl, &facts.contentType, &analysis.href, &analysis.rel,
                                   &analysis.anchorText, &analysis.canonical, &analysis.evidence})
        check(text->size() <= MaxStoredText);
    check(facts.redirects.size() <= MaxStoredRedirects);
    for (const RedirectStep& step : facts.redirects)
        check(step.url.size() <= MaxStoredText && step.status >= 0 && step.status <= 999);
    check(facts.httpStatus >= 0 && facts.httpStatus <= 999);
    check(facts.elapsedMs >= 0 && facts.bytesReceived >= 0);
    check(analysis.kind <= LinkKind::None && analysis.extent <= AnalysisExtent::Abandoned);
    checkBounded(facts.attempts);
}

void checkBounded(const QList<AttemptStep>& steps)
{
    check(steps.size() <= MaxStoredAttempts);
    for (const AttemptStep& step : steps) {
        check(step.failure.size() <= MaxStoredText && step.status >= 0 && step.status <= 999);
        check(step.pauseMs >= 0 && step.elapsedMs >= 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const CheckFacts facts = DecodeDetails(bytes);
    checkBounded(facts);
    const CheckDetails details(facts);
    check(DecodeCheckDetails(bytes) == details);
    const QByteArray encoded = EncodeDetails(details);
    check(CheckDetails(DecodeDetails(encoded)) == details);
    check(EncodeDetails(DecodeCheckDetails(encoded)) == encoded);

    // Read in place, the texts stay within the bytes and their bounds; read from an encoding, they
    // are the decoded ones.
    const DetailsView view = ViewDetails(bytes);
    for (const QByteArrayView text : view.texts) {
        check(text.size() <= MaxStoredText);
        check(text.isEmpty() || (text.data() >= bytes.data() && text.data() + text.size() <= bytes.data() + size));
    }
    const DetailsView encodedView = ViewDetails(encoded);
    check(encodedView.kind == details.linkKind() && ((encodedView.flags & FlagBlocked) != 0) == details.blocked());
    check(encodedView.matchStart == details.matchStart() && encodedView.matchLength == details.matchLength());
    check(encodedView.texts[0] == details.failure() && encodedView.texts[1] == details.reason().toUtf8());
    check(encodedView.texts[2] == details.finalUrl() && encodedView.texts[4] == details.contentType());
    check(encodedView.texts[5] == details.href() && encodedView.texts[6] == details.rel());
    check(encodedView.texts[7] == details.anchorText() && encodedView.texts[8] == details.canonical());
    check(encodedView.texts[9] == details.evidence());
    check(DecodeRedirects(encodedView.texts[3]) == facts.redirects);

    const QList<RedirectStep> steps = DecodeRedirects(bytes);
    check(steps.size() <= MaxStoredRedirects);
    check(DecodeRedirects(EncodeRedirects(steps)) == steps);

    // The tries of one check, as a row of its own holds them.
    const QList<AttemptStep> tries = DecodeAttempts(bytes);
    checkBounded(tries);
    check(DecodeAttempts(EncodeAttempts(tries)) == tries);
    return 0;
}
