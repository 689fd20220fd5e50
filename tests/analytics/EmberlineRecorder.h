#pragma once

#include "analytics/TLYEmberlineAnalyticsBridge.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <mutex>
#include <ostream>

// Stands in for the Emberline Analytics library: registered as
// "EMBAnalytics", it keeps every event handed to it.
class EmberlineRecorder : public TLYStubsForEMBAnalytics
{
public:
    struct Call
    {
        QString origin;
        QString name;
        QVariantMap parameters;
        friend bool operator==(const Call &, const Call &) = default;
        friend std::ostream &operator<<(std::ostream &out, const Call &call)
        {
            return out << call.origin.toStdString() << " " << call.name.toStdString() << " "
                       << testing::PrintToString(call.parameters);
        }
    };

    QString className() const override
    {
        return TLYEmberlineAnalyticsBridge::EmberlineAnalyticsClassName;
    }
    void logInternalEventWithOrigin(const QString &origin, const QString &name,
                                    const QVariantMap &parameters) const override
    {
        std::lock_guard lock(m_mutex);
        m_calls.append({origin, name, parameters});
    }

    QList<Call> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

private:
    mutable std::mutex m_mutex;
    mutable QList<Call> m_calls;
};
