#pragma once

#include <QString>

// The SDK's identity on the wire, shared by its requests, its kit versions
// and its settings directory.
inline const QString ORRSDKClientIdentifier = QStringLiteral("io.orrery.sdk.mac");
inline const QString ORRSDKDisplayVersion = QStringLiteral("1.7.5");
inline const QString ORRSDKBuildVersion = QStringLiteral("68");
// Sent with every request so the service knows the SDK build it talks to.
inline const QString ORRSDKDeveloperToken =
    QStringLiteral("3c1e9a07b5d24f68e0a9c7b31d5f2e84a6b09c7d");
