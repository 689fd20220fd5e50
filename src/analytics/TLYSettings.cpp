#include "TLYSettings.h"

#include "sdk/ORRApplicationInfo.h"

namespace {

const QString Analytics = QStringLiteral("analytics");
const QString Features = QStringLiteral("features");

} // namespace

TLYSettings::TLYSettings(std::optional<QVariantMap> settingsDictionary)
    : m_settingsDictionary(std::move(settingsDictionary))
{}

QVariant TLYSettings::value(const QString &section, const QString &key) const
{
    if (!m_settingsDictionary)
        return {};
    const QVariant value = m_settingsDictionary->value(section).toMap().value(key);
    return value.typeId() == QMetaType::Nullptr ? QVariant() : value;
}

bool TLYSettings::boolean(const QString &section, const QString &key, bool fallback) const
{
    const QVariant found = value(section, key);
    return found.isValid() ? ORRBooleanValue(found) : fallback;
}

qint64 TLYSettings::integer(const QString &section, const QString &key, qint64 fallback) const
{
    const QVariant found = value(section, key);
    return found.isValid() ? found.toLongLong() : fallback;
}

double TLYSettings::seconds(const QString &section, const QString &key, double fallback) const
{
    const QVariant found = value(section, key);
    return found.isValid() ? found.toDouble() : fallback;
}

QUrl TLYSettings::tallyURL() const
{
    // A text that is no address would make every upload fail and its
    // package be dropped; the built-in endpoint keeps them.
    const QUrl url(value(Analytics, QStringLiteral("url")).toString(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && !url.host().isEmpty() &&
        (scheme == QLatin1String("https") || scheme == QLatin1String("http")))
        return url;
    return QUrl(DefaultTallyURL);
}

bool TLYSettings::shouldCollectAnalytics() const
{
    return boolean(Features, QStringLiteral("collect_analytics"), true);
}

bool TLYSettings::shouldCollectCustomEvents() const
{
    return boolean(Analytics, QStringLiteral("track_custom_events"), true);
}

bool TLYSettings::shouldCollectPredefinedEvents() const
{
    return boolean(Analytics, QStringLiteral("track_predefined_events"), true);
}

bool TLYSettings::shouldForwardToEmberlineAnalytics() const
{
    return boolean(Analytics, QStringLiteral("forward_to_ember_analytics"), false);
}

bool TLYSettings::shouldIncludePurchaseEventsInForwardedEmberlineEvents() const
{
    return boolean(Analytics, QStringLiteral("include_purchase_events_in_forwarded_events"), false);
}

qint64 TLYSettings::maximumPayloadSize() const
{
    return integer(Analytics, QStringLiteral("max_byte_size_per_file"), 8000);
}

qint64 TLYSettings::maxPendingSendFiles() const
{
    return integer(Analytics, QStringLiteral("max_pending_send_file_count"), 100);
}

double TLYSettings::flushInterval() const
{
    return seconds(Analytics, QStringLiteral("flush_interval_secs"), 0);
}

qint64 TLYSettings::samplingRate() const
{
    return integer(Analytics, QStringLiteral("sampling_rate"), 1);
}

double TLYSettings::defaultUploadTimeout() const
{
    return seconds(Analytics, QStringLiteral("upload_timeout_secs"), 21600);
}

double TLYSettings::lowPowerUploadTimeout() const
{
    return seconds(Analytics, QStringLiteral("low_power_upload_timeout_secs"), 3600);
}
