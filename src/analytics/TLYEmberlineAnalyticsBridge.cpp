#include "TLYEmberlineAnalyticsBridge.h"

#include "TLYAttributeDictionary.h"
#include "TLYCustomEvent.h"
#include "TLYDecimal.h"
#include "TLYLogger.h"
#include "TLYPredefinedEvent.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

const QString Success = QStringLiteral("success");

const QHash<QString, QString> &eventNameMap()
{
    static const QHash<QString, QString> map{
        {QStringLiteral("content_view"), QStringLiteral("select_content")},
        {QStringLiteral("share"), QStringLiteral("share")},
        {QStringLiteral("sign_up"), QStringLiteral("sign_up")},
        {QStringLiteral("login"), QStringLiteral("login")},
        {QStringLiteral("search"), QStringLiteral("search")},
        {QStringLiteral("purchase"), QStringLiteral("ecommerce_purchase")},
        {QStringLiteral("add_to_cart"), QStringLiteral("add_to_cart")},
        {QStringLiteral("start_checkout"), QStringLiteral("begin_checkout")},
        {QStringLiteral("level_start"), QStringLiteral("level_start")},
        {QStringLiteral("level_end"), QStringLiteral("level_end")},
        {QStringLiteral("invite"), QStringLiteral("invite")},
        {QStringLiteral("rating"), QStringLiteral("rate_content")},
    };
    return map;
}

using KeyMapping = TLYEmberlineAnalyticsBridge::KeyMapping;

const QHash<QString, KeyMapping> &parameterKeyMap()
{
    const auto same = [](const char *key) {
        return std::pair{QString::fromLatin1(key), QString::fromLatin1(key)};
    };
    const auto to = [](const char *from, const char *to) {
        return std::pair{QString::fromLatin1(from), QString::fromLatin1(to)};
    };
    static const QHash<QString, KeyMapping> map{
        {QStringLiteral("select_content"),
         {same("content_type"), to("content_id", "item_id"), to("content_name", "item_name")}},
        {QStringLiteral("share"),
         {same("content_type"), to("content_id", "item_id"), to("content_name", "item_name"),
          same("method")}},
        {QStringLiteral("sign_up"), {same("method"), same("success")}},
        {QStringLiteral("login"), {same("method"), same("success")}},
        {QStringLiteral("search"), {to("query", "search_term")}},
        {QStringLiteral("ecommerce_purchase"),
         {same("currency"), to("item_price", "value"), same("success"),
          to("item_type", "item_category"), same("item_id"), same("item_name")}},
        {QStringLiteral("add_to_cart"),
         {to("item_type", "item_category"), same("item_id"), same("item_name"),
          to("item_price", "price"), same("currency")}},
        {QStringLiteral("begin_checkout"),
         {same("currency"), to("total_price", "value"), to("item_count", "quantity")}},
        {QStringLiteral("rate_content"),
         {same("rating"), same("content_type"), to("content_id", "item_id"),
          to("content_name", "item_name")}},
        {QStringLiteral("level_start"), {same("level_name")}},
        {QStringLiteral("level_end"), {same("level_name"), same("score"), same("success")}},
        {QStringLiteral("invite"), {same("method")}},
    };
    return map;
}

// The price a micro-unit attribute was made from, as a double.
QVariant priceFromMicros(const QVariant &micros)
{
    const double value = micros.userType() == qMetaTypeId<TLYDecimal>()
                             ? micros.value<TLYDecimal>().toDouble()
                             : micros.toDouble();
    // Divided rather than multiplied by 1e-6, which no double holds
    // exactly: 9990000 gives the double nearest to 9.99.
    return value / 1e6;
}

QString describe(const QString &name, const QVariantMap &parameters)
{
    return QStringLiteral("<%1\n%2>")
        .arg(name, QString::fromUtf8(
                       QJsonDocument(TLYAttributeDictionary::jsonValue(parameters).toObject())
                           .toJson(QJsonDocument::Compact)));
}

char32_t firstCodePoint(const QString &text)
{
    if (text.size() > 1 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
        return QChar::surrogateToUcs4(text.at(0), text.at(1));
    return text.at(0).unicode();
}

// The first `length` code units, without cutting a character in two.
QString leftWhole(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace

TLYEmberlineAnalyticsBridge::TLYEmberlineAnalyticsBridge(const ClassRegistry &registry)
    : TLYEmberlineAnalyticsBridge(registry.classNamed(EmberlineAnalyticsClassName))
{}

TLYEmberlineAnalyticsBridge::TLYEmberlineAnalyticsBridge(
    const std::shared_ptr<const ClassRegistry::Class> &emberlineAnalyticsClass)
    : m_emberlineAnalytics(
          std::dynamic_pointer_cast<const TLYStubsForEMBAnalytics>(emberlineAnalyticsClass))
{}

void TLYEmberlineAnalyticsBridge::logEvent(const TLYEvent &event) const
{
    if (!m_emberlineAnalytics)
        return;
    if (const auto *custom = dynamic_cast<const TLYCustomEvent *>(&event))
        logCustomEvent(*custom);
    else if (const auto *predefined = dynamic_cast<const TLYPredefinedEvent *>(&event))
        logPredefinedEvent(*predefined);
}

void TLYEmberlineAnalyticsBridge::logCustomEvent(const TLYCustomEvent &event) const
{
    if (!m_emberlineAnalytics)
        return;
    const QString name = sanitizeEventName(event.customEventName());
    const QVariantMap parameters = customParametersFromCustomAttributes(event.customAttributes());
    TLYLogger::sharedLogger().log(
        QStringLiteral("Logging custom event to Emberline. %1").arg(describe(name, parameters)));
    m_emberlineAnalytics->logInternalEventWithOrigin(Origin, name, parameters);
}

void TLYEmberlineAnalyticsBridge::logPredefinedEvent(const TLYPredefinedEvent &event) const
{
    if (!m_emberlineAnalytics)
        return;
    const QVariantMap &predefined = event.predefinedAttributes().dictionaryRepresentation();
    const QString name =
        emberlineEventNameForTallyEventName(event.predefinedEventName(), predefined);
    if (name.isEmpty())
        return; // a type Emberline has no name for
    const QVariantMap parameters = emberlineEventParametersForPredefinedAttributes(
        predefined, event.customAttributes().dictionaryRepresentation(), name);
    TLYLogger::sharedLogger().log(QStringLiteral("Logging predefined event to Emberline. %1")
                                      .arg(describe(name, parameters)));
    logPredefinedEventToEmberlineWithEventName(name, parameters);
}

void TLYEmberlineAnalyticsBridge::logPredefinedEventToEmberlineWithEventName(
    const QString &name, const QVariantMap &parameters) const
{
    if (!m_emberlineAnalytics)
        return;
    m_emberlineAnalytics->logInternalEventWithOrigin(Origin, name, parameters);
    if (name == QLatin1String("level_end"))
        m_emberlineAnalytics->logInternalEventWithOrigin(Origin, QStringLiteral("post_score"),
                                                         parameters);
}

QString
TLYEmberlineAnalyticsBridge::emberlineEventNameForTallyEventName(const QString &tallyEventName,
                                                                 const QVariantMap &predefined)
{
    const QString name = eventNameMap().value(tallyEventName);
    return shouldUseFailedEventName(name, predefined) ? failedEventName(name) : name;
}

bool TLYEmberlineAnalyticsBridge::shouldUseFailedEventName(const QString &emberlineEventName,
                                                           const QVariantMap &predefined)
{
    // Success is stored as the text "true" or "false", whose boolean
    // reading is that of the word.
    return isFailableEvent(emberlineEventName) && predefined.contains(Success) &&
           !predefined.value(Success).toBool();
}

QString TLYEmberlineAnalyticsBridge::failedEventName(const QString &emberlineEventName)
{
    return QStringLiteral("failed_") + emberlineEventName;
}

bool TLYEmberlineAnalyticsBridge::isFailableEvent(const QString &emberlineEventName)
{
    return emberlineEventName == QLatin1String("ecommerce_purchase") ||
           emberlineEventName == QLatin1String("login") ||
           emberlineEventName == QLatin1String("sign_up");
}

QVariantMap TLYEmberlineAnalyticsBridge::emberlineEventParametersForPredefinedAttributes(
    const QVariantMap &predefinedAttributes, const QVariantMap &customAttributes,
    const QString &emberlineEventName)
{
    return combinedParametersFromPredefinedParameters(
        predefinedParametersFromPredefinedAttributes(predefinedAttributes, emberlineEventName),
        customParametersFromCustomAttributes(customAttributes));
}

QVariantMap TLYEmberlineAnalyticsBridge::combinedParametersFromPredefinedParameters(
    const QVariantMap &predefinedParameters, const QVariantMap &customParameters)
{
    QVariantMap combined = predefinedParameters;
    for (auto it = customParameters.cbegin(); it != customParameters.cend(); ++it)
        combined.insert(it.key(), combined.value(it.key(), it.value()));
    return combined;
}

QVariantMap
TLYEmberlineAnalyticsBridge::customParametersFromCustomAttributes(const QVariantMap &attributes)
{
    QVariantMap parameters;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        parameters.insert(sanitizeAttributeName(it.key()), it.value());
    return parameters;
}

QVariantMap TLYEmberlineAnalyticsBridge::predefinedParametersFromPredefinedAttributes(
    const QVariantMap &predefinedAttributes, const QString &emberlineEventName)
{
    // A "failed_" name has no entry, and so no predefined parameters.
    const auto mapping = parameterKeyMap().constFind(emberlineEventName);
    if (mapping == parameterKeyMap().cend())
        return {};
    return transformedBaseParameters(
        extractBaseParameterDictionaryFromPredefinedAttributes(predefinedAttributes, *mapping),
        emberlineEventName);
}

QVariantMap TLYEmberlineAnalyticsBridge::extractBaseParameterDictionaryFromPredefinedAttributes(
    const QVariantMap &predefinedAttributes, const KeyMapping &keyMapping)
{
    QVariantMap parameters;
    for (const auto &[attribute, parameter] : keyMapping) {
        const auto found = predefinedAttributes.constFind(attribute);
        if (found == predefinedAttributes.cend())
            continue;
        if (attribute == QLatin1String("item_price") || attribute == QLatin1String("total_price"))
            parameters.insert(parameter, priceFromMicros(*found));
        else if (attribute == Success)
            parameters.insert(parameter, found->toString() == QLatin1String("true") ? 1 : 0);
        else
            parameters.insert(parameter, *found);
    }
    return parameters;
}

QVariantMap TLYEmberlineAnalyticsBridge::transformedBaseParameters(QVariantMap parameters,
                                                                   const QString &name)
{
    if (name == QLatin1String("add_to_cart")) {
        parameters.insert(QStringLiteral("quantity"), 1);
        if (parameters.contains(QStringLiteral("price")))
            parameters.insert(QStringLiteral("value"), parameters.value(QStringLiteral("price")));
    } else if (isFailableEvent(name)) {
        parameters.remove(Success);
    }
    return parameters;
}

QString TLYEmberlineAnalyticsBridge::sanitizeKeyName(const QString &name)
{
    if (name.isEmpty())
        return name;
    // Unicode's letters and digits, as Emberline counts them, not ASCII's.
    static const QRegularExpression disallowed(QStringLiteral("[^\\p{Alphabetic}\\p{Nd}_]+"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    QString sanitized = name;
    sanitized.replace(disallowed, QStringLiteral("_"));
    if (!QChar::isLetter(firstCodePoint(sanitized)))
        return EscapePrefix + sanitized;
    for (const char *prefix : {"emberline_", "ember_", "ea_"}) {
        if (sanitized.startsWith(QLatin1String(prefix)))
            return EscapePrefix + sanitized;
    }
    if (emberlineReservedKeys().contains(sanitized))
        return EscapePrefix + sanitized;
    return sanitized;
}

QString TLYEmberlineAnalyticsBridge::sanitizeEventName(const QString &name)
{
    if (name.isEmpty())
        return EscapePrefix + QStringLiteral("unnamed_event");
    return leftWhole(sanitizeKeyName(name), MaximumNameLength);
}

QString TLYEmberlineAnalyticsBridge::sanitizeAttributeName(const QString &name)
{
    if (name.isEmpty())
        return EscapePrefix + QStringLiteral("unnamed_parameter");
    return leftWhole(sanitizeKeyName(name), MaximumNameLength);
}

const QSet<QString> &TLYEmberlineAnalyticsBridge::emberlineReservedKeys()
{
    static const QSet<QString> keys{
        QStringLiteral("app_clear_data"),
        QStringLiteral("app_exception"),
        QStringLiteral("app_remove"),
        QStringLiteral("app_upgrade"),
        QStringLiteral("app_install"),
        QStringLiteral("app_update"),
        QStringLiteral("emberline_campaign"),
        QStringLiteral("error"),
        QStringLiteral("first_open"),
        QStringLiteral("first_visit"),
        QStringLiteral("in_app_purchase"),
        QStringLiteral("notification_dismiss"),
        QStringLiteral("notification_foreground"),
        QStringLiteral("notification_open"),
        QStringLiteral("notification_receive"),
        QStringLiteral("os_update"),
        QStringLiteral("session_start"),
        QStringLiteral("user_engagement"),
        QStringLiteral("ad_exposure"),
        QStringLiteral("adunit_exposure"),
        QStringLiteral("ad_query"),
        QStringLiteral("ad_activeview"),
        QStringLiteral("ad_impression"),
        QStringLiteral("ad_click"),
        QStringLiteral("screen_view"),
        QStringLiteral("emberline_extra_parameter"),
    };
    return keys;
}
