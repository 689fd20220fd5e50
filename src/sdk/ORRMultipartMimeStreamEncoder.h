#pragma once

#include "support/URLRequest.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

// Writes a multipart/form-data body straight into a stream (a QBuffer in
// memory or a QFile), part by part, counting the bytes written so that the
// Content-Length can be set without holding the body.
class ORRMultipartMimeStreamEncoder
{
public:
    // A fresh UUID text, as the boundary of a new body.
    static QString generateBoundary();
    static QString contentTypeHTTPHeaderValueWithBoundary(const QString &boundary);
    static std::unique_ptr<ORRMultipartMimeStreamEncoder>
    encoderWithStream(std::shared_ptr<QIODevice> stream, const QString &boundary = QString());
    // Builds a body in memory with the parts that block adds and puts it,
    // with its Content-Type and Content-Length headers, on the request.
    static void populateRequest(URLRequest &request,
                                const std::function<void(ORRMultipartMimeStreamEncoder &)> &block);

    // A null boundary is replaced by a generated one. The stream is opened
    // only when encoding begins.
    explicit ORRMultipartMimeStreamEncoder(std::shared_ptr<QIODevice> stream,
                                           const QString &boundary = QString());

    // beginEncoding(), block, endEncoding().
    void encode(const std::function<void()> &block);
    void beginEncoding();
    void endEncoding();

    // A text part; an invalid or null value, or an empty field name, is
    // logged and skipped.
    void addValue(const QVariant &value, const QString &fieldName);
    // A file part; empty data or empty names are logged and skipped. A null
    // MIME type sends the bytes as application/octet-stream.
    void addFileData(const QByteArray &data, const QString &fileName, const QString &mimeType,
                     const QString &fieldName);
    void addFile(const QUrl &fileURL, const QString &fileName, const QString &mimeType,
                 const QString &fieldName);

    bool writeBytes(const char *bytes, qint64 length);
    void writeData(const QByteArray &data);

    QByteArray headerData() const;
    QByteArray footerData() const;
    QString contentTypeHTTPHeaderValue() const;
    QString contentLengthHTTPHeaderValue() const;

    std::uint64_t length() const { return m_length; }
    const QString &boundary() const { return m_boundary; }
    const std::shared_ptr<QIODevice> &outputStream() const { return m_outputStream; }

private:
    std::uint64_t m_length = 0;
    QString m_boundary;
    std::shared_ptr<QIODevice> m_outputStream;
};
