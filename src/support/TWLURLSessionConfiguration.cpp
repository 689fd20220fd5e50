#include "TWLURLSessionConfiguration.h"

TWLURLSessionConfiguration TWLURLSessionConfiguration::defaultSessionConfiguration()
{
    return {};
}

TWLURLSessionConfiguration TWLURLSessionConfiguration::ephemeralSessionConfiguration()
{
    return {};
}

std::optional<TWLURLSessionConfiguration>
TWLURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(const QString &)
{
    return std::nullopt;
}

std::optional<TWLURLSessionConfiguration>
TWLURLSessionConfiguration::backgroundSessionConfiguration(const QString &identifier)
{
    return backgroundSessionConfigurationWithIdentifier(identifier);
}
