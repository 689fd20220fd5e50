#pragma once

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Keeps the SDK's process-wide stores out of the user's home: the data and
// cache directories point into a directory that lives as long as the run.
// The service's endpoints point at a closed port of this machine, so that
// an SDK that a test starts never reaches a real service; tests that talk
// to the reference service point them at it.
class SdkTestEnvironment : public ::testing::Environment
{
public:
    static constexpr const char *ClosedEndpoint = "http://127.0.0.1:9";

    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
        qputenv("XDG_CACHE_HOME", m_home.filePath("cache").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
        qputenv("SettingsEndpoint", ClosedEndpoint);
        qputenv("ConfigureEndpoint", ClosedEndpoint);
    }

private:
    QTemporaryDir m_home;
};

// Sets an environment variable while it lives; then puts back what was there.
class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable(const char *name, const QByteArray &value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_previous(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironmentVariable()
    {
        if (m_wasSet)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable &) = delete;
    ScopedEnvironmentVariable &operator=(const ScopedEnvironmentVariable &) = delete;

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_previous;
};
