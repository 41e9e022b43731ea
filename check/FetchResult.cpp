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

const char* FetchErrorName(FetchError error)
{
    switch (error) {
    case FetchError::None: return "None";
    case FetchError::InvalidUrl: return "InvalidUrl";
    case FetchError::ResolveFailed: return "ResolveFailed";
    case FetchError::ConnectFailed: return "ConnectFailed";
    case FetchError::ConnectTimeout: return "ConnectTimeout";
    case FetchError::ProxyFailed: return "ProxyFailed";
    case FetchError::TlsFailed: return "TlsFailed";
    case FetchError::SendFailed: return "SendFailed";
    case FetchError::ReadFailed: return "ReadFailed";
    case FetchError::ReadTimeout: return "ReadTimeout";
    case FetchError::ConnectionClosed: return "ConnectionClosed";
    case FetchError::LineTooLong: return "LineTooLong";
    case FetchError::HttpStatus: return "HttpStatus";
    case FetchError::Aborted: return "Aborted";
    }
    return "Unknown";
}
