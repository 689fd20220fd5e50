#pragma once

#include <QDir>
#include <QString>

// Real drawings shared by the tests and benchmarks.
inline QString corpusFile(const QString &name)
{
    return QDir(QStringLiteral(QUILLMOOR_CORPUS_DIR)).filePath(name);
}

inline QString drawing(const QString &name)
{
    return corpusFile(QStringLiteral("files/") + name);
}

inline QString damagedFile(const QString &name)
{
    return corpusFile(QStringLiteral("bad/") + name);
}
