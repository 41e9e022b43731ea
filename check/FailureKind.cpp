#include "check/FailureKind.h"

QByteArrayView FailureKindName(FetchError error)
{
    switch (error) {
    case FetchError::None: return {};
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
    return {};
}
