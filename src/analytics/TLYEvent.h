#pragma once

#include <QDateTime>
#include <QString>
#include <QVariantMap>

// One recorded analytics event. Records are immutable once made and are
// shared (std::shared_ptr<const TLYEvent>) between the recording call, the
// log writer and the forwarding bridge.
class TLYEvent
{
public:
    TLYEvent();
    virtual ~TLYEvent();
    TLYEvent(const TLYEvent &) = delete;
    TLYEvent &operator=(const TLYEvent &) = delete;

    // The kind written as the second field of the event's log line.
    virtual QString name() const;
    // When the event happened; the creation time unless a kind says otherwise.
    virtual QDateTime timestamp() const;
    // A new upper-case UUID text, made at creation.
    const QString &identifier() const { return m_identifier; }
    // The payload written as JSON into the log line.
    virtual QVariantMap dictionaryRepresentation() const;
    // Whether recording this event rotates and submits the current log at once.
    virtual bool triggersFlush() const;

    virtual QString className() const;
    virtual QString description() const;

private:
    QDateTime m_timestamp;
    QString m_identifier;
};
