#pragma once

#include "model/Version.h"

// Who the program is and where its makers can be reached: the about box, the help and contact
// commands and the User-Agent of every page fetch all take these from here.
inline constexpr char ProductName[] = "Quorvane";
inline constexpr char ProductVersion[] = QUORVANE_VERSION;
// Scheme and host without a trailing '/': the page paths are appended to it.
inline constexpr char ProductSite[] = "https://quorvane.example";
// The home page as the User-Agent names it.
inline constexpr char ProductHomePage[] = "https://quorvane.example/";
inline constexpr char SupportAddress[] = "support@quorvane.example";
// The user guide that ships with the program.
inline constexpr char HelpFileName[] = "Quorvane.html";
