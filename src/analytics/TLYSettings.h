#pragma once

#include <QUrl>
#include <QVariantMap>

#include <optional>

// The analytics settings in force: a reader over the settings the SDK
// downloaded, with the kit's default for every key (or section, or the
// whole dictionary) that is missing. Valid once there is a dictionary.
class TLYSettings
{
public:
    // Quillmoor's own events service; the settings' "analytics" -> "url"
    // overrides it.
    static inline const QString DefaultTallyURL =
        QStringLiteral("https://events.quillmoor.ferrowby.com/spi/v2/events");

    explicit TLYSettings(std::optional<QVariantMap> settingsDictionary = std::nullopt);

    const std::optional<QVariantMap> &settingsDictionary() const { return m_settingsDictionary; }
    bool valid() const { return m_settingsDictionary.has_value(); }

    // "analytics" -> "url"; the default when it names no HTTP(S) address.
    QUrl tallyURL() const;
    bool shouldCollectAnalytics() const;
    bool shouldCollectCustomEvents() const;
    bool shouldCollectPredefinedEvents() const;
    bool shouldForwardToEmberlineAnalytics() const;
    bool shouldIncludePurchaseEventsInForwardedEmberlineEvents() const;
    qint64 maximumPayloadSize() const;
    qint64 maxPendingSendFiles() const;
    // Seconds.
    double flushInterval() const;
    qint64 samplingRate() const;
    double defaultUploadTimeout() const;
    double lowPowerUploadTimeout() const;

private:
    // The value at section -> key; invalid when missing or null.
    QVariant value(const QString &section, const QString &key) const;
    bool boolean(const QString &section, const QString &key, bool fallback) const;
    qint64 integer(const QString &section, const QString &key, qint64 fallback) const;
    double seconds(const QString &section, const QString &key, double fallback) const;

    std::optional<QVariantMap> m_settingsDictionary;
};
