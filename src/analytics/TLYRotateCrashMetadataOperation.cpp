#include "TLYRotateCrashMetadataOperation.h"

#include <QDateTime>
#include <QFile>

TLYRotateCrashMetadataOperation::TLYRotateCrashMetadataOperation(
    QUrl crashMetadataURL, std::shared_ptr<const TLYMetadata> currentMetadata)
    : m_crashMetadataURL(std::move(crashMetadataURL))
    , m_currentMetadata(std::move(currentMetadata))
    , m_currentMetadataDictionary(m_currentMetadata
                                      ? m_currentMetadata
                                            ->dictionaryRepresentationWithStartTime(
                                                quint64(QDateTime::currentSecsSinceEpoch()))
                                            .value_or(QVariantMap())
                                      : QVariantMap())
{}

void TLYRotateCrashMetadataOperation::main()
{
    const QString path = m_crashMetadataURL.toLocalFile();
    if (QFile::exists(path)) {
        m_crashMetadata = std::make_shared<const TLYCrashMetadata>(
            TLYCrashMetadata::readSerializedDictionaryFromURL(m_crashMetadataURL));
        QFile::remove(path);
    } else {
        m_crashMetadata = std::make_shared<const TLYCrashMetadata>(QVariantMap());
    }
    TLYCrashMetadata::writeSerializedDictionary(m_currentMetadataDictionary, m_crashMetadataURL);
}
