#pragma once

#include <QByteArray>
#include <QString>

// Digests and identifiers in the text forms the service expects.

// Two lower-case hexadecimal digits per byte, high nibble first.
QString ORRHexadecimalString(const QByteArray &bytes);
// The SHA-1 digest as 40 lower-case hexadecimal digits.
QString ORRSHA1String(const QByteArray &bytes);
// The SHA-256 digest as 64 lower-case hexadecimal digits.
QString ORRSHA256String(const QByteArray &bytes);
// A new random UUID, 36 upper-case characters with hyphens.
QString ORRGenerateUUIDString();
// 16 bytes (a UUID's) as 32 lower-case hexadecimal digits; the first 16
// bytes when given more.
QString ORR16BytesHexString(const QByteArray &bytes);
