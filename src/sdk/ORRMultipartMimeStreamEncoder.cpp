#include "ORRMultipartMimeStreamEncoder.h"

#include "foundation/Log.h"
#include "foundation/Uuid.h"

#include <QBuffer>
#include <QFile>
#include <QFileDevice>

namespace {

// The text of a value as it goes into a part or a log line.
QString describe(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("(null)");
    if (value.typeId() == QMetaType::Nullptr)
        return QStringLiteral("<null>");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return value.toString();
}

} // namespace

QString ORRMultipartMimeStreamEncoder::generateBoundary()
{
    return uuidText();
}

QString
ORRMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(const QString &boundary)
{
    return QStringLiteral("multipart/form-data; boundary=%1").arg(boundary);
}

std::unique_ptr<ORRMultipartMimeStreamEncoder>
ORRMultipartMimeStreamEncoder::encoderWithStream(std::shared_ptr<QIODevice> stream,
                                                 const QString &boundary)
{
    return std::make_unique<ORRMultipartMimeStreamEncoder>(std::move(stream), boundary);
}

bool ORRMultipartMimeStreamEncoder::populateRequest(
    URLRequest &request, const std::function<void(ORRMultipartMimeStreamEncoder &)> &block)
{
    auto memory = std::make_shared<QBuffer>();
    ORRMultipartMimeStreamEncoder encoder(memory, generateBoundary());
    if (!encoder.encode([&] { block(encoder); }))
        return false;
    request.setValue(encoder.contentTypeHTTPHeaderValue(), QStringLiteral("Content-Type"));
    request.setValue(encoder.contentLengthHTTPHeaderValue(), QStringLiteral("Content-Length"));
    request.setHTTPBody(memory->data());
    return true;
}

ORRMultipartMimeStreamEncoder::ORRMultipartMimeStreamEncoder(std::shared_ptr<QIODevice> stream,
                                                             const QString &boundary)
    : m_boundary(boundary.isNull() ? generateBoundary() : boundary)
    , m_outputStream(std::move(stream))
{}

bool ORRMultipartMimeStreamEncoder::encode(const std::function<void()> &block)
{
    beginEncoding();
    if (block)
        block();
    return endEncoding();
}

void ORRMultipartMimeStreamEncoder::beginEncoding()
{
    m_length = 0;
    m_failed = false;
    if (m_outputStream && !m_outputStream->isOpen() &&
        !m_outputStream->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        systemLog(QStringLiteral("[Orrery] Failed to write data to stream"));
        m_failed = true;
    }
    writeData(headerData());
}

bool ORRMultipartMimeStreamEncoder::endEncoding()
{
    writeData(footerData());
    if (!m_outputStream)
        return false;
    m_outputStream->close();
    // A file buffers what it is given; a full disk shows only when the
    // buffer is flushed on closing.
    if (const auto *file = qobject_cast<QFileDevice *>(m_outputStream.get());
        file && file->error() != QFileDevice::NoError && !m_failed) {
        systemLog(QStringLiteral("[Orrery] Failed to write data to stream"));
        m_failed = true;
    }
    return !m_failed;
}

QByteArray ORRMultipartMimeStreamEncoder::headerData() const
{
    return QByteArrayLiteral("MIME-Version: 1.0\r\n");
}

QByteArray ORRMultipartMimeStreamEncoder::footerData() const
{
    return QStringLiteral("--%1--\r\n").arg(m_boundary).toUtf8();
}

QString ORRMultipartMimeStreamEncoder::contentTypeHTTPHeaderValue() const
{
    return contentTypeHTTPHeaderValueWithBoundary(m_boundary);
}

QString ORRMultipartMimeStreamEncoder::contentLengthHTTPHeaderValue() const
{
    return QString::number(m_length);
}

void ORRMultipartMimeStreamEncoder::addValue(const QVariant &value, const QString &fieldName)
{
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr || fieldName.isEmpty()) {
        systemLog(
            QStringLiteral("[Orrery] name (%1) or value (%2) is invalid")
                .arg(fieldName.isNull() ? QStringLiteral("(null)") : fieldName, describe(value)));
        return;
    }
    // Names and values go in as they are: no quoting or escaping.
    writeData(QStringLiteral("--%1\r\nContent-Disposition: form-data; name=\"%2\"\r\n"
                             "Content-Type: text/plain\r\n\r\n")
                  .arg(m_boundary, fieldName)
                  .toUtf8());
    writeData((describe(value) + QStringLiteral("\r\n")).toUtf8());
}

void ORRMultipartMimeStreamEncoder::addFileData(const QByteArray &data, const QString &fileName,
                                                const QString &mimeType, const QString &fieldName)
{
    if (data.isEmpty()) {
        systemLog(QStringLiteral("[Orrery] Unable to MIME encode data with zero length (%1)")
                      .arg(fieldName.isNull() ? QStringLiteral("(null)") : fieldName));
        return;
    }
    if (fieldName.isEmpty() || fileName.isEmpty()) {
        systemLog(QStringLiteral("[Orrery] name (%1) or fieldname (%2) is invalid")
                      .arg(fieldName.isNull() ? QStringLiteral("(null)") : fieldName,
                           fileName.isNull() ? QStringLiteral("(null)") : fileName));
        return;
    }
    QString header = QStringLiteral("--%1\r\nContent-Disposition: form-data; name=\"%2\"; "
                                    "filename=\"%3\"\r\n")
                         .arg(m_boundary, fieldName, fileName);
    if (mimeType.isNull()) {
        header += QStringLiteral("Content-Type: application/octet-stream\r\n\r\n");
    } else {
        header += QStringLiteral("Content-Type: %1\r\n").arg(mimeType);
        header += QStringLiteral("Content-Transfer-Encoding: binary\r\n\r\n");
    }
    writeData(header.toUtf8());
    writeData(data);
    writeData(QByteArrayLiteral("\r\n"));
}

void ORRMultipartMimeStreamEncoder::addFile(const QUrl &fileURL, const QString &fileName,
                                            const QString &mimeType, const QString &fieldName)
{
    QFile file(fileURL.toLocalFile());
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    addFileData(data, fileName, mimeType, fieldName);
}

bool ORRMultipartMimeStreamEncoder::writeBytes(const char *bytes, qint64 length)
{
    return write(bytes, length, QStringLiteral("[Orrery] Failed to write bytes to stream"));
}

bool ORRMultipartMimeStreamEncoder::writeData(const QByteArray &data)
{
    // A byte array is one contiguous range, written with one call.
    return write(data.constData(), data.size(),
                 QStringLiteral("[Orrery] Failed to write data to stream"));
}

bool ORRMultipartMimeStreamEncoder::write(const char *bytes, qint64 length,
                                          const QString &failureLine)
{
    // Once a byte is missing the body is broken: writing more would only
    // make a longer broken body.
    if (m_failed)
        return false;
    const qint64 written = m_outputStream ? m_outputStream->write(bytes, length) : -1;
    // Whatever reached the stream is counted, so that the Content-Length
    // always matches what the stream holds.
    if (written > 0)
        m_length += std::uint64_t(written);
    if (written == length)
        return true;
    // A short write is not retried.
    systemLog(failureLine);
    m_failed = true;
    return false;
}
