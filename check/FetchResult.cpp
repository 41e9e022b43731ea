#include "check/FetchResult.h"

FetchResult FetchResult::failure(FetchError error, QString text, int status)
{
    FetchResult result;
    result.error = error;
    result.status = status;
    result.text = std::move(text);
    return result;
}

QByteArray FetchResult::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

const char* FetchErrorKind(FetchError error)
{
    switch (error) {
    case FetchError::None: return "none";
    case FetchError::InvalidUrl: return "invalid-url";
    case FetchError::ResolveFailed: return "resolve";
    case FetchError::ConnectFailed: return "connect";
    case FetchError::ConnectTimeout: return "connect-timeout";
    case FetchError::ProxyFailed: return "proxy";
    case FetchError::TlsFailed: return "tls";
    case FetchError::SendFailed: return "send";
    case FetchError::ReadFailed: return "read";
    case FetchError::ReadTimeout: return "read-timeout";
    case FetchError::ConnectionClosed: return "closed";
    case FetchError::LineTooLong: return "too-long";
    case FetchError::HttpStatus: return "http-status";
    case FetchError::Aborted: return "aborted";
    }
    return "none";
}
