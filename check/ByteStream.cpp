#include "check/ByteStream.h"

FetchResult StreamIo::asResult() const
{
    FetchResult result = FetchResult::failure(error, text);
    result.reset = reset;
    return result;
}
