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
//
// A write that the stream does not take whole (a full disk, a closed stream)
// fails the body: nothing more is written, and encode() and endEncoding()
// report it, so that a truncated body is never sent or kept as if complete.
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
    // When the body could not be written whole, the request is left as it
    // was and the result is false: such a request must not be sent.
    [[nodiscard]] static bool
    populateRequest(URLRequest &request,
                    const std::function<void(ORRMultipartMimeStreamEncoder &)> &block);

    // A null boundary is replaced by a generated one. The stream is opened
    // only when encoding begins.
    explicit ORRMultipartMimeStreamEncoder(std::shared_ptr<QIODevice> stream,
                                           const QString &boundary = QString());

    // beginEncoding(), block, endEncoding(); true when the whole body reached
    // the stream.
    [[nodiscard]] bool encode(const std::function<void()> &block);
    void beginEncoding();
    // Writes the closing line and closes the stream. True when every byte of
    // the body was written and the stream closed cleanly (for a file: its
    // buffered bytes reached the file).
    bool endEncoding();

    // A text part; an invalid or null value, or an empty field name, is
    // logged and skipped.
    void addValue(const QVariant &value, const QString &fieldName);
    // A file part; empty data or empty names are logged and skipped. A null
    // MIME type sends the bytes as application/octet-stream.
    void addFileData(const QByteArray &data, const QString &fileName, const QString &mimeType,
                     const QString &fieldName);
    void addFile(const QUrl &fileURL, const QString &fileName, const QString &mimeType,
                 const QString &fieldName);

    // False when the stream did not take all the bytes, or when an earlier
    // write of this body failed.
    bool writeBytes(const char *bytes, qint64 length);
    bool writeData(const QByteArray &data);
    // Whether a write of the current body has failed.
    bool encodingFailed() const { return m_failed; }

    QByteArray headerData() const;
    QByteArray footerData() const;
    QString contentTypeHTTPHeaderValue() const;
    QString contentLengthHTTPHeaderValue() const;

    std::uint64_t length() const { return m_length; }
    const QString &boundary() const { return m_boundary; }
    const std::shared_ptr<QIODevice> &outputStream() const { return m_outputStream; }

private:
    bool write(const char *bytes, qint64 length, const QString &failureLine);

    std::uint64_t m_length = 0;
    bool m_failed = false;
    QString m_boundary;
    std::shared_ptr<QIODevice> m_outputStream;
};
