#pragma once

#include "TLYApplication.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <optional>

class Orrery;

// What the first line of every log file describes: the application, the
// device and the execution that wrote the file.
class TLYMetadataSource
{
public:
    virtual ~TLYMetadataSource() = default;

    QString eventName() const { return QStringLiteral("metadata"); }
    // The record for a log file begun at startTime (whole seconds since
    // 1970), or none when the source has no record.
    virtual std::optional<QVariantMap>
    dictionaryRepresentationWithStartTime(quint64 startTime) const = 0;
};

// The running execution's metadata, filled once and read-only afterwards.
// A null text is an absent value; its key is left out of the record.
class TLYMetadata : public TLYMetadataSource
{
public:
    struct Fields
    {
        QString APIKey;
        QString betaToken;
        QString buildVersion;
        QString bundleIdentifier; // with "/" replaced by "_"
        QString displayVersion;
        QString executionIdentifier;
        QString hostModel;
        QString installationId;
        QString instanceIdentifier;
        bool isJailbroken = false;
        QString locale;
        quint32 numberOfCores = 0;
        QString OSBuildVersion;
        QString OSDisplayVersion;
        QString platform;
        quint32 platformCode = 0;
    };

    static inline const QString Generator = QStringLiteral("Tally Mac SDK/1.3.6");

    explicit TLYMetadata(Fields fields);
    // This execution's metadata: the identifiers and key from the SDK, the
    // bundle values from the host application, the rest from the running
    // system.
    static std::shared_ptr<const TLYMetadata>
    initWithOrrery(Orrery &orrery, const QString &betaToken,
                   const TLYApplication &application = TLYApplication::hostApplication());

    // The part after "2:" of a token of exactly two parts; null otherwise.
    static QString unwrapBetaToken(const QString &token);
    // The name of the running operating system ("Linux").
    static QString runningPlatformName();
    // Advertising support does not exist on this platform.
    static bool advertisingSupportFrameworkLinked() { return false; }
    static bool trackingForAdvertisingEnabled() { return false; }
    static QString identifierForAdvertising() { return {}; }

    const Fields &fields() const { return m_fields; }
    const QString &betaToken() const { return m_fields.betaToken; }
    const QString &installationId() const { return m_fields.installationId; }

    std::optional<QVariantMap>
    dictionaryRepresentationWithStartTime(quint64 startTime) const override;

private:
    const Fields m_fields;
};

// A previous execution's metadata, as it left it in the crash metadata file.
class TLYCrashMetadata : public TLYMetadataSource
{
public:
    explicit TLYCrashMetadata(std::optional<QVariantMap> rawMetadataDictionary);

    const std::optional<QVariantMap> &rawMetadataDictionary() const
    {
        return m_rawMetadataDictionary;
    }
    // The stored record unchanged: it keeps that execution's own start time.
    std::optional<QVariantMap>
    dictionaryRepresentationWithStartTime(quint64 startTime) const override;

    // The JSON object in the file, or none when it cannot be read or parsed.
    static std::optional<QVariantMap> readSerializedDictionaryFromURL(const QUrl &url);
    // Writes the dictionary as compact JSON, replacing the file in one step.
    static bool writeSerializedDictionary(const QVariantMap &dictionary, const QUrl &url);

private:
    const std::optional<QVariantMap> m_rawMetadataDictionary;
};
