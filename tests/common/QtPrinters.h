#pragma once

// How GoogleTest shows Qt's strings and values in failure messages: as
// text, not as the bytes of the object. Every test source includes this
// first (tests/CMakeLists.txt), so that GoogleTest's printers are the same
// in every translation unit.

#include <QByteArray>
#include <QDebug>
#include <QString>
#include <QVariant>

#include <gtest/gtest-printers.h>

#include <ostream>

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << ::testing::PrintToString(bytes.toStdString());
}

inline void PrintTo(const QString &text, std::ostream *os)
{
    PrintTo(text.toUtf8(), os);
}

inline void PrintTo(const QVariant &value, std::ostream *os)
{
    QString text;
    QDebug(&text).nospace() << value;
    *os << text.toStdString();
}
