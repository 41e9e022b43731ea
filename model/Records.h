#pragma once

#include "model/CheckDetails.h"

#include <QByteArray>

#include <cstdint>
#include <memory>

// The check status of an inbound link. The codes are part of the system's vocabulary and are
// compared as numbers when the list sorts by Result.
enum LinkStatus : std::uint8_t {
    lsUnchecked = 0,
    lsChecking = 1,
    lsFound = 2,
    lsNotFound = 3,
    lsConnectionError = 4,
};

// One of the user's own websites. Id 0 is the "All my websites" root only.
struct rMySiteInfo {
    QByteArray Name;
    QByteArray Url;
    std::int32_t Id = 0;
};

class ThreadDoCheck;

// One inbound link. Texts are byte strings exactly as the data files store them.
// Date-times are day counts since 30 December 1899, local time; 0 means never.
struct rMonitorInfo {
    std::int32_t SiteId = 0;
    QByteArray SiteUrl;  // copy of the website's Url, made just before a check; never stored
    QByteArray PageUrl;
    QByteArray FirstName;
    QByteArray LastName;
    QByteArray Email;
    double Created = 0;
    double LastCheck = 0;
    const ThreadDoCheck* Worker = nullptr;  // the worker checking this link now, null once it ended; never dereferenced
    // What the latest check found out beside its verdict; kept in memory only.
    DetailsHandle Details;
    // What changed at the latest check, against the one before it (HistoryChanges bits); kept in
    // memory only, and given back by the check history at start-up.
    std::uint16_t Changes = 0;
    LinkStatus Status = lsUnchecked;
    // False once the row that held this record is gone (deleted, restored over, shut down).
    // A running worker may still hold the record; its late results must then change nothing.
    // Read and written on the UI thread only.
    bool Attached = true;
    // The links list's own bookkeeping: where it keeps the row of this record. It lets the list
    // find a record's row without a lookup table; anything else leaves it alone.
    std::uint32_t ListSlot = 0;
};

// Rows own their records through this handle; a running check worker holds another, so a record
// outlives its row until the worker has reported.
using LinkRecord = std::shared_ptr<rMonitorInfo>;
