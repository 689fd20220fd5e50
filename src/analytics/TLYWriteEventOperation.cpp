#include "TLYWriteEventOperation.h"

#include "TLYAttributeDictionary.h"
#include "TLYLogger.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void logWriteMessage(const QString &message)
{
    TLYLogger::sharedLogger().logWithLabel(TLYWriteEventOperation::Label, message);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TLYWriteEventOperation::TLYWriteEventOperation(std::shared_ptr<const TLYEvent> event,
                                               const TLYMetadataSource &metadata, QUrl logFileUrl)
    : m_event(std::move(event))
    , m_logFileUrl(std::move(logFileUrl))
    , m_formattedEvent(m_event ? generateFormattedLogLineWithEvent(*m_event) : QString())
    , m_formattedMetadata(
          m_event ? generateFormattedLogLineWithMetdata(metadata, m_event->timestamp()) : QString())
{}

QString
TLYWriteEventOperation::logLineWithTimestamp(const QDateTime &timestamp, const QString &eventName,
                                             const std::optional<QVariantMap> &payloadDictionary)
{
    if (!payloadDictionary)
        return {};
    const QJsonObject payload = TLYAttributeDictionary::jsonValue(*payloadDictionary).toObject();
    const QByteArray json = QJsonDocument(payload).toJson(QJsonDocument::Compact);
    // Milliseconds are exact in a date here; the truncation to whole
    // milliseconds is the date's own.
    const quint64 milliseconds = quint64(timestamp.toMSecsSinceEpoch());
    return QStringLiteral("%1\t%2\t%3\t%4")
        .arg(QString::number(milliseconds), eventName, QString::number(json.size()),
             QString::fromUtf8(json));
}

QString TLYWriteEventOperation::generateFormattedLogLineWithEvent(const TLYEvent &event)
{
    return logLineWithTimestamp(event.timestamp(), event.name(), event.dictionaryRepresentation());
}

QString
TLYWriteEventOperation::generateFormattedLogLineWithMetdata(const TLYMetadataSource &metadata,
                                                            const QDateTime &timestamp)
{
    const quint64 startTime = quint64(timestamp.toSecsSinceEpoch());
    return logLineWithTimestamp(timestamp, metadata.eventName(),
                                metadata.dictionaryRepresentationWithStartTime(startTime));
}

void TLYWriteEventOperation::main()
{
    m_success = false;
    const QByteArray path = QFile::encodeName(m_logFileUrl.toLocalFile());
    struct stat status;
    const bool exists = ::stat(path.constData(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode))
        return;
    // An empty file has no metadata line yet, whatever made it.
    const bool preexisting = exists && status.st_size > 0;

    // Without both lines there is nothing to write; no file is made for it.
    if (m_formattedEvent.isNull() || m_formattedMetadata.isNull())
        return;
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;

    // The metadata line and the first event go out in one write, so that no
    // file ever holds a metadata line alone.
    QByteArray bytes;
    if (!preexisting)
        bytes = m_formattedMetadata.toUtf8() + '\n';
    bytes += m_formattedEvent.toUtf8() + '\n';

    struct stat before;
    const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
    const bool result = appendBytes(bytes, fd);
    // A failed append takes back what it wrote, so the next line does not
    // run on from a broken one.
    if (!result && regular) {
        if (before.st_size == 0)
            ::unlink(path.constData());
        else if (::ftruncate(fd, before.st_size) != 0)
            logWriteMessage(QStringLiteral("Failed to restore file, error: %1").arg(systemError()));
    }
    m_success = result;
    if (::close(fd) != 0) {
        logWriteMessage(QStringLiteral("Failed to close file, error: %1").arg(systemError()));
        m_success = false;
    }
}

bool TLYWriteEventOperation::appendBytes(const QByteArray &bytes, int fileDescriptor)
{
    const char *next = bytes.constData();
    size_t remaining = size_t(bytes.size());
    int continuations = 0;
    ssize_t written = ::write(fileDescriptor, next, remaining);
    for (;;) {
        if (written < 0)
            logWriteMessage(QStringLiteral("Failed to write: %1\n").arg(systemError()));
        if (written >= 0 && size_t(written) == remaining)
            return true;
        if (size_t(written) > remaining) {
            logWriteMessage(QStringLiteral("Error: length doesn't make sense (%1, %2)\n")
                                .arg(qint64(written))
                                .arg(quint64(remaining)));
            return false;
        }
        if (written == 0 || continuations == 2) {
            logWriteMessage(QStringLiteral("Error: exited write loop without success\n"));
            return false;
        }
        next += written;
        remaining -= size_t(written);
        written = ::write(fileDescriptor, next, remaining);
        ++continuations;
    }
}
