#pragma once

#include <QString>

// The reasons a failed fetch gives, in words a person understands. Each is set where the failure
// is detected; these are the texts several places share.

// "HTTP 404 Not Found": the code and its standard phrase (the server's own phrase is not trusted);
// "HTTP 599" for a code without one.
QString StatusReason(int status);
// An operating-system error as a sentence: "Connection refused".
QString SystemReason(int error);
// A time as people write it: "30 s", "0.25 s".
QString Seconds(qint64 ms);
// The total time of a fetch has run out: "No answer within the total time of 120 s".
QString TotalTimeReason(qint64 totalMs);
// "Stopped": abort() was called.
QString AbortedReason();
