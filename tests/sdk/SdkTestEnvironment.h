#pragma once

#include <QTemporaryDir>

#include <gtest/gtest.h>

// Keeps the SDK's process-wide stores out of the user's home: the data and
// cache directories point into a directory that lives as long as the run.
class SdkTestEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
        qputenv("XDG_CACHE_HOME", m_home.filePath("cache").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
    }

private:
    QTemporaryDir m_home;
};
