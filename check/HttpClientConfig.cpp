#include "check/HttpClientConfig.h"

QByteArray DefaultUserAgent()
{
    return QByteArray(ProductName) + '/' + ProductVersion + " (+" + HomePageUrl + ')';
}
