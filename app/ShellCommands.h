#pragma once

#include "model/Records.h"

#include <QString>

#include <vector>

// "mailto:" + Email + "?body=Dear Mr." + LastName, with nothing encoded.
QString MailtoAddress(const rMonitorInfo& link);

// Whether a page address may go to the browser: http and https, or an address without a scheme,
// which the browser takes as http. Anything else (file:, javascript:, ...) could make the desktop
// run or open a local file.
bool IsWebAddress(const QString& address);

// One new mail message per link, in the order given.
void SendEmailTo(const std::vector<LinkRecord>& links);
// Each link's page in the web browser, in the order given; pages that are not web addresses are
// passed over.
void OpenPagesOf(const std::vector<LinkRecord>& links);
