#pragma once

#include "model/Records.h"
#include "model/WebsiteTree.h"

#include <QString>

#include <initializer_list>

// A websites tree with the root and the given websites, in order.
WebsiteTree Websites(std::initializer_list<rMySiteInfo> sites);

// Writes MySites.txt with the websites Alpha (Id 1) and Beta (Id 2), and Items.txt with one link
// of Alpha, into appDir.
void WriteTwoWebsitesOneLink(const QString& appDir);
