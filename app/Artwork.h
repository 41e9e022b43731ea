#pragma once

#include "model/CheckDetails.h"

#include <QIcon>

// The program's own artwork, drawn as SVG so it stays sharp at any scale.
namespace Artwork {

// The tool bar images: "new", "modify", "delete", "check", "stop", "report", "options", "help".
QIcon tool(const char* name);

// The websites pane: the "All my websites" root (a house) and a website (a computer with a globe).
QIcon root();
QIcon website();

// The status images by their index in the status image list: 0 checking, 1 connection error,
// 2 found, 3 not found. Any other index gives no image.
QIcon status(int index);

// The kind of link a page has to the website; no image for Unknown.
QIcon linkKind(LinkKind kind);

QIcon application();

}  // namespace Artwork
