#pragma once

#include "TLYEvent.h"

// The crash of the previous execution, dated when that execution ended.
class TLYCrashEvent : public TLYEvent
{
public:
    static constexpr uint ForegroundState = 1;
    static constexpr uint BackgroundState = 2;

    TLYCrashEvent(QDateTime crashTimestamp, uint crashState);

    const QDateTime &crashTimestamp() const { return m_crashTimestamp; }
    uint crashState() const { return m_crashState; }

    QString name() const override;
    QDateTime timestamp() const override;
    QVariantMap dictionaryRepresentation() const override;
    QString className() const override;

private:
    QDateTime m_crashTimestamp;
    uint m_crashState = 0;
};
