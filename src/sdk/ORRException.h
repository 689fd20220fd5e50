#pragma once

#include "foundation/NamedException.h"

// Raised at SDK start when the host application is misconfigured; the
// host is not expected to catch it.
class ORRException : public NamedException
{
public:
    explicit ORRException(const QString &reason)
        : NamedException(QStringLiteral("ORRException"), reason)
    {}
};
