#pragma once

#include "ORRApplicationIdentiferModel.h"
#include "ORRNetworkOperation.h"
#include "foundation/Bundle.h"

#include <QString>
#include <QVariantMap>

#include <memory>

class ORRMultipartMimeStreamEncoder;
class ORRNetworkClient;
class ORROnboardingOperation;

class ORROnboardingOperationDelegate
{
public:
    virtual ~ORROnboardingOperationDelegate() = default;
    // The app create is over; error is null when the service took it.
    virtual void onboardingOperationDidCompleteAppCreation(ORROnboardingOperation &operation,
                                                           const Error &error) = 0;
    // The app update is over; error is null when the service took it.
    virtual void onboardingOperationDidCompleteAppUpdate(ORROnboardingOperation &operation,
                                                         const Error &error) = 0;
};

// Tells the service about the application: an app create (POST, for an
// application the service does not know yet) or an app update (PUT). The
// body is a multipart form with the application's identity, versions,
// kits, executable slices and, when there is one, its icon.
class ORROnboardingOperation : public ORRNetworkOperation
{
public:
    static inline const QString ErrorDomain = QStringLiteral("ORRSDKOnboardingErrorDomain");
    static constexpr unsigned CreateRetryLimit = 10;
    static constexpr unsigned UpdateRetryLimit = 1;

    // Nothing for a null key. The delegate and the client are not kept
    // alive by the operation; the model may be null when the executable
    // could not be read (its fields are then left out).
    static std::shared_ptr<ORROnboardingOperation>
    create(std::weak_ptr<ORROnboardingOperationDelegate> delegate, bool shouldCreate,
           const QString &APIKey, const QVariantMap &kitVersionsByKitBundleIdentifier,
           std::shared_ptr<const ORRApplicationIdentiferModel> appIdentifierModel,
           const QString &endpointString, std::weak_ptr<ORRNetworkClient> networkClient,
           const Bundle &bundle = Bundle::mainBundle());

    bool shouldCreate() const { return m_shouldCreate; }
    const QString &appEndpoint() const { return m_appEndpoint; }
    const QVariantMap &kitVersionsByKitBundleIdentifier() const { return m_kitVersions; }
    Error error() const;

    // endpoint + "/spi/v1/platforms/mac/apps"
    QUrl appCreateURL() const;
    // endpoint + "/spi/v1/platforms/mac/apps/<bundle identifier>"
    QUrl appUpdateURL() const;
    // The standard request: a POST to appCreateURL() or a PUT to
    // appUpdateURL(), without its body.
    URLRequest onboardingRequestForAppCreate(bool create);
    // The form parts, in their fixed order, added to encoder.
    void encodeParts(ORRMultipartMimeStreamEncoder &encoder) const;

    QString appBundleIdentifier() const;
    QString appPlatform() const;
    QString appName() const;
    QString appBuildVersion() const;
    QString appDisplayVersion() const;
    int appInstallSource() const;

    static Error errorForCode(int code, const QVariantMap &userInfo);

protected:
    QString className() const override { return QStringLiteral("ORROnboardingOperation"); }
    void asyncMain() override { beginAppConfigure(); }

private:
    ORROnboardingOperation(const QString &APIKey, const Bundle &bundle);
    void beginAppConfigure();
    void finishWith(const Error &error);

    std::weak_ptr<ORROnboardingOperationDelegate> m_delegate;
    bool m_shouldCreate = true;
    std::shared_ptr<const ORRApplicationIdentiferModel> m_appIdentifierModel;
    QString m_appEndpoint;
    std::weak_ptr<ORRNetworkClient> m_networkClient;
    QVariantMap m_kitVersions;
    const Bundle &m_bundle;
    mutable std::mutex m_errorMutex;
    Error m_error;
};
