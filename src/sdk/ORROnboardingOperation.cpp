#include "ORROnboardingOperation.h"

#include "ORRApplicationInfo.h"
#include "ORRMultipartMimeStreamEncoder.h"
#include "ORRNetworkClient.h"
#include "ORRNetworkResponseHandler.h"
#include "ORRSettings.h"
#include "ORRURLBuilder.h"
#include "foundation/Log.h"

std::shared_ptr<ORROnboardingOperation> ORROnboardingOperation::create(
    std::weak_ptr<ORROnboardingOperationDelegate> delegate, bool shouldCreate,
    const QString &APIKey, const QVariantMap &kitVersionsByKitBundleIdentifier,
    std::shared_ptr<const ORRApplicationIdentiferModel> appIdentifierModel,
    const QString &endpointString, std::weak_ptr<ORRNetworkClient> networkClient,
    const Bundle &bundle)
{
    if (APIKey.isNull())
        return nullptr;
    std::shared_ptr<ORROnboardingOperation> operation(new ORROnboardingOperation(APIKey, bundle));
    operation->m_delegate = std::move(delegate);
    operation->m_shouldCreate = shouldCreate;
    operation->m_kitVersions = kitVersionsByKitBundleIdentifier;
    operation->m_appIdentifierModel = std::move(appIdentifierModel);
    operation->m_appEndpoint = endpointString;
    operation->m_networkClient = std::move(networkClient);
    return operation;
}

ORROnboardingOperation::ORROnboardingOperation(const QString &APIKey, const Bundle &bundle)
    : ORRNetworkOperation(APIKey)
    , m_bundle(bundle)
{}

Error ORROnboardingOperation::error() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

QUrl ORROnboardingOperation::appCreateURL() const
{
    ORRURLBuilder builder = ORRURLBuilder::URLWithBase(m_appEndpoint);
    builder.appendComponent(QStringLiteral("/spi/v1/platforms/"));
    builder.escapeAndAppendComponent(appPlatform());
    builder.appendComponent(QStringLiteral("/apps"));
    return builder.URL().value_or(QUrl());
}

QUrl ORROnboardingOperation::appUpdateURL() const
{
    ORRURLBuilder builder = ORRURLBuilder::URLWithBase(m_appEndpoint);
    builder.appendComponent(QStringLiteral("/spi/v1/platforms/"));
    builder.escapeAndAppendComponent(appPlatform());
    builder.appendComponent(QStringLiteral("/apps/"));
    builder.escapeAndAppendComponent(appBundleIdentifier());
    return builder.URL().value_or(QUrl());
}

URLRequest ORROnboardingOperation::onboardingRequestForAppCreate(bool create)
{
    URLRequest request = mutableRequestWithDefaultHTTPHeadersForURL(
        create ? appCreateURL() : appUpdateURL(), DefaultTimeout);
    request.setHTTPMethod(create ? QStringLiteral("POST") : QStringLiteral("PUT"));
    return request;
}

void ORROnboardingOperation::encodeParts(ORRMultipartMimeStreamEncoder &encoder) const
{
    const auto text = [](const QString &value) {
        return value.isNull() ? QVariant() : QVariant(value);
    };
    const ORRApplicationIdentiferModel *model = m_appIdentifierModel.get();
    encoder.addValue(text(appBundleIdentifier()), QStringLiteral("app[identifier]"));
    encoder.addValue(text(model ? model->instanceIdentifier() : QString()),
                     QStringLiteral("app[instance_identifier]"));
    encoder.addValue(text(appName()), QStringLiteral("app[name]"));
    encoder.addValue(text(appBuildVersion()), QStringLiteral("app[build_version]"));
    encoder.addValue(text(appDisplayVersion()), QStringLiteral("app[display_version]"));
    encoder.addValue(QString::number(appInstallSource()), QStringLiteral("app[source]"));
    encoder.addValue(text(model ? model->minimumSDKString() : QString()),
                     QStringLiteral("app[minimum_sdk_version]"));
    encoder.addValue(text(model ? model->builtSDKString() : QString()),
                     QStringLiteral("app[built_sdk_version]"));
    for (auto kit = m_kitVersions.cbegin(); kit != m_kitVersions.cend(); ++kit)
        encoder.addValue(kit.value(), QStringLiteral("%1[%2]").arg(
                                          QStringLiteral("app[build][libraries]"), kit.key()));
    if (!model)
        return;
    const QMap<QString, QString> &slices = model->architectureUUIDMap();
    for (auto slice = slices.cbegin(); slice != slices.cend(); ++slice) {
        encoder.addValue(slice.key(), QStringLiteral("app[slices][][arch]"));
        encoder.addValue(slice.value(), QStringLiteral("app[slices][][uuid]"));
    }
    const std::shared_ptr<const ORRIcon> icon = model->icon();
    if (!icon || icon->data().isEmpty() || icon->dataHash().isEmpty())
        return;
    encoder.addValue(icon->dataHash(), QStringLiteral("app[icon][hash]"));
    encoder.addValue(icon->prerendered() ? QStringLiteral("true") : QStringLiteral("false"),
                     QStringLiteral("app[icon][prerendered]"));
    encoder.addValue(QString::number(qulonglong(icon->size().width())),
                     QStringLiteral("app[icon][width]"));
    encoder.addValue(QString::number(qulonglong(icon->size().height())),
                     QStringLiteral("app[icon][height]"));
    encoder.addFileData(icon->data(), QStringLiteral("icon.png"), QStringLiteral("image/png"),
                        QStringLiteral("app[icon][data]"));
}

void ORROnboardingOperation::beginAppConfigure()
{
    URLRequest request = onboardingRequestForAppCreate(m_shouldCreate);
    if (!ORRMultipartMimeStreamEncoder::populateRequest(
            request, [this](ORRMultipartMimeStreamEncoder &encoder) { encodeParts(encoder); })) {
        systemLog(QStringLiteral("[Orrery] configure failed during onboarding"));
        finishWith(errorForCode(0, {{Error::LocalizedDescriptionKey,
                                     QStringLiteral("Multipart mime encoder was nil")}}));
        return;
    }
    const std::shared_ptr<ORRNetworkClient> client = m_networkClient.lock();
    if (!client) {
        finishWith(ORRNetworkResponseHandler::errorForCode(ORRNetworkResponseHandler::NoTask, {}));
        return;
    }
    auto self = std::static_pointer_cast<ORROnboardingOperation>(shared_from_this());
    client->startDataTaskWithRequest(
        request, m_shouldCreate ? CreateRetryLimit : UpdateRetryLimit,
        [self](const auto &, const auto &, const Error &error) { self->finishWith(error); });
}

void ORROnboardingOperation::finishWith(const Error &error)
{
    {
        std::lock_guard lock(m_errorMutex);
        m_error = error;
    }
    if (const auto delegate = m_delegate.lock()) {
        if (m_shouldCreate)
            delegate->onboardingOperationDidCompleteAppCreation(*this, error);
        else
            delegate->onboardingOperationDidCompleteAppUpdate(*this, error);
    }
    finishWithError(error);
}

QString ORROnboardingOperation::appBundleIdentifier() const
{
    return ORRApplicationBundleIdentifier(m_bundle);
}

QString ORROnboardingOperation::appPlatform() const
{
    return ORRSettings::Platform;
}

QString ORROnboardingOperation::appName() const
{
    return ORRApplicationName(m_bundle);
}

QString ORROnboardingOperation::appBuildVersion() const
{
    return ORRApplicationBuildVersion(m_bundle);
}

QString ORROnboardingOperation::appDisplayVersion() const
{
    return ORRApplicationDisplayVersion(m_bundle);
}

int ORROnboardingOperation::appInstallSource() const
{
    return ORRApplicationInstallSource(m_bundle);
}

Error ORROnboardingOperation::errorForCode(int code, const QVariantMap &userInfo)
{
    return Error(ErrorDomain, code, userInfo);
}
