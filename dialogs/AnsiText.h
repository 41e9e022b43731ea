#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Record texts are single-byte strings kept exactly as the files store them. On screen each byte
// is the character of the same code (Latin-1), so every stored byte survives a trip through a
// widget unchanged; a typed character beyond that range becomes '?'.
QString FromAnsi(QByteArrayView bytes);
QByteArray ToAnsi(const QString& text);
