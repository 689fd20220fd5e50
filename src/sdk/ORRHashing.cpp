#include "ORRHashing.h"

#include "foundation/Uuid.h"

#include <QCryptographicHash>

QString ORRHexadecimalString(const QByteArray &bytes)
{
    static constexpr char Digits[] = "0123456789abcdef";
    QString text;
    text.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text.append(QLatin1Char(Digits[value >> 4]));
        text.append(QLatin1Char(Digits[value & 0x0f]));
    }
    return text;
}

QString ORRSHA1String(const QByteArray &bytes)
{
    return ORRHexadecimalString(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1));
}

QString ORRSHA256String(const QByteArray &bytes)
{
    return ORRHexadecimalString(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
}

QString ORRGenerateUUIDString()
{
    return uuidText();
}

QString ORR16BytesHexString(const QByteArray &bytes)
{
    return ORRHexadecimalString(bytes.left(16));
}
