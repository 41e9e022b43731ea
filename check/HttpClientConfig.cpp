#include "check/HttpClientConfig.h"

QByteArray DefaultUserAgent()
{
    return QByteArray("Quorvane/3.1 (+") + HomePageUrl + ')';
}
