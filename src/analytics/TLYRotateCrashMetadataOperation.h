#pragma once

#include "TLYMetadata.h"

#include "foundation/Operation.h"

#include <QUrl>
#include <QVariantMap>

#include <memory>

// Hands the running execution's metadata to the next one through the crash
// metadata file: takes the previous execution's record out of the file and
// puts this execution's record in its place. Run once at start.
class TLYRotateCrashMetadataOperation : public Operation
{
public:
    // The current record is made now, with the current time as this
    // execution's start.
    TLYRotateCrashMetadataOperation(QUrl crashMetadataURL,
                                    std::shared_ptr<const TLYMetadata> currentMetadata);

    const QUrl &crashMetadataURL() const { return m_crashMetadataURL; }
    const QVariantMap &currentMetadataDictionary() const { return m_currentMetadataDictionary; }
    // The previous execution's metadata, once the operation has run: an
    // empty record when there was no file, none when it was unreadable.
    std::shared_ptr<const TLYCrashMetadata> crashMetadata() const { return m_crashMetadata; }

protected:
    void main() override;

private:
    const QUrl m_crashMetadataURL;
    const std::shared_ptr<const TLYMetadata> m_currentMetadata;
    const QVariantMap m_currentMetadataDictionary;
    std::shared_ptr<const TLYCrashMetadata> m_crashMetadata;
};
