#pragma once

#include "TLYEvent.h"
#include "TLYMetadata.h"

#include "foundation/Operation.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>

// Appends one event to a log file, preceded by the file's metadata line
// when the file is new. Both lines are formatted when the operation is made.
//
// A line is "time\tname\tbytes\tpayload": the time in milliseconds since
// 1970, the record's name, the payload's length in UTF-8 bytes and the
// payload as compact JSON, ended by a line feed.
//
// An append either lands whole or leaves the file as it was, so a log file
// only ever holds complete lines written by this process (a crash in the
// middle of a write can still cut the last line; compression drops it).
class TLYWriteEventOperation : public Operation
{
public:
    static inline const QString Label = QStringLiteral("WriteOperation");

    TLYWriteEventOperation(std::shared_ptr<const TLYEvent> event, const TLYMetadataSource &metadata,
                           QUrl logFileUrl);

    const std::shared_ptr<const TLYEvent> &event() const { return m_event; }
    const QUrl &logFileUrl() const { return m_logFileUrl; }
    // The outcome, once the operation has run.
    bool success() const { return m_success; }
    // The finished lines without their line feeds; null when the payload
    // could not be formatted.
    const QString &formattedEvent() const { return m_formattedEvent; }
    const QString &formattedMetadata() const { return m_formattedMetadata; }

    // One line, or null when there is no payload.
    static QString logLineWithTimestamp(const QDateTime &timestamp, const QString &eventName,
                                        const std::optional<QVariantMap> &payloadDictionary);

protected:
    void main() override;

private:
    static QString generateFormattedLogLineWithEvent(const TLYEvent &event);
    static QString generateFormattedLogLineWithMetdata(const TLYMetadataSource &metadata,
                                                       const QDateTime &timestamp);
    // Writes all bytes with at most two continuations of a short write.
    static bool appendBytes(const QByteArray &bytes, int fileDescriptor);

    const std::shared_ptr<const TLYEvent> m_event;
    const QUrl m_logFileUrl;
    const QString m_formattedEvent;
    const QString m_formattedMetadata;
    std::atomic<bool> m_success = false;
};
