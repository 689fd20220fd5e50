#include "TLYPackageLogOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"

#include "sdk/ORRMultipartMimeStreamEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

TLYPackageLogOperation::TLYPackageLogOperation(QUrl compressedLogURL, QUrl packagedLogURL,
                                               QString multipartMimeBoundary)
    : m_compressedLogURL(std::move(compressedLogURL))
    , m_packagedLogURL(std::move(packagedLogURL))
    , m_multipartMimeBoundary(std::move(multipartMimeBoundary))
{}

QUrl TLYPackageLogOperation::multipartURLForCompressedURL(const QUrl &compressedURL,
                                                          const QString &boundary)
{
    const QDir directory = QFileInfo(compressedURL.toLocalFile()).dir();
    return QUrl::fromLocalFile(directory.filePath(boundary + QLatin1Char('.') + PackageExtension));
}

QString TLYPackageLogOperation::compressedFileNameInPackage(const QUrl &packageURL)
{
    QFile file(packageURL.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The version line, the delimiter and the part's disposition line come
    // first; their length is bounded by the names in them.
    const QByteArray head = file.read(1024);
    static const QRegularExpression disposition(
        QStringLiteral("\r\nContent-Disposition: form-data; name=\"[^\"\r\n]*\"; "
                       "filename=\"([^\"\r\n]+)\"\r\n"));
    const QRegularExpressionMatch match = disposition.match(QString::fromUtf8(head));
    return match.hasMatch() ? match.captured(1) : QString();
}

void TLYPackageLogOperation::main()
{
    m_outcome = package();
}

TLYPackageLogOperation::Outcome TLYPackageLogOperation::package()
{
    const TLYLogger &logger = TLYLogger::sharedLogger();
    const QString compressedPath = m_compressedLogURL.toLocalFile();
    const QFileInfo compressed(compressedPath);
    if (!compressed.exists() || compressed.isDir()) {
        logger.log(QStringLiteral("Error: attempting to package nonexistent file: %1")
                       .arg(m_compressedLogURL.toString()));
        return Outcome::Failed;
    }
    const QString failure =
        QStringLiteral("Failed to package file at %1").arg(m_compressedLogURL.toString());

    // The encoder would skip an unreadable file and still write a body;
    // reading it here tells an unreadable file from an empty one.
    QFile input(compressedPath);
    if (!input.open(QIODevice::ReadOnly)) {
        logger.log(
            QFileInfo::exists(compressedPath)
                ? failure
                : QStringLiteral("Error packaging: %1 is an invalid path.").arg(compressedPath));
        return Outcome::Failed;
    }
    const QByteArray data = input.readAll();
    if (input.error() != QFileDevice::NoError) {
        logger.log(failure);
        return Outcome::Failed;
    }
    if (data.isEmpty()) {
        logger.log(QStringLiteral("Error packaging: %1 is empty.").arg(compressedPath));
        return Outcome::Discarded;
    }

    const QString packagePath = m_packagedLogURL.toLocalFile();
    const QString temporaryPath = TLYFileUtils::temporaryPathForPath(packagePath);
    auto stream = std::make_shared<QFile>(temporaryPath);
    bool packaged = false;
    if (stream->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        auto encoder =
            ORRMultipartMimeStreamEncoder::encoderWithStream(stream, m_multipartMimeBoundary);
        const QString name = compressed.fileName();
        packaged = encoder->encode([&] { encoder->addFileData(data, name, EventsMimeType, name); });
    }
    if (!packaged || !TLYFileUtils::commitTemporaryFile(temporaryPath, packagePath)) {
        QFile::remove(temporaryPath);
        logger.log(failure);
        return Outcome::Failed;
    }
    return Outcome::Packaged;
}
