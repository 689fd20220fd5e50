#pragma once

#include "analytics/TLYMetadata.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <utility>

// A home folder of its own for one test: HOME and the XDG folders point
// into a temporary folder while it lives, and back afterwards.
class TemporaryHome
{
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

    QString path() const { return m_home.path(); }
    QString cacheDirectory() const;
    QString dataDirectory() const;
    // The analytics root folder under this home's cache folder.
    QString analyticsRoot() const;
    QString eventsDirectory() const;

private:
    QTemporaryDir m_home;
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};

// Turns the kit's debug lines on while it lives, so that tests can read them.
class DebugLogging
{
public:
    DebugLogging();
    ~DebugLogging();
};

// One part of a multipart body.
struct MultipartPart
{
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray content;
};

// Reads a multipart body with the given boundary as RFC 2046 lays it out:
// a preamble, delimiter lines, each part's header lines, an empty line and
// its content, and the closing delimiter. Anything else is an error.
struct MultipartBody
{
    QByteArray preamble;
    QList<MultipartPart> parts;
    QByteArray epilogue;
};
std::optional<MultipartBody> parseMultipart(const QByteArray &body, const QByteArray &boundary,
                                            QString *error = nullptr);

// Inflates gzip data; none when it is not a complete, valid gzip stream.
std::optional<QByteArray> gunzip(const QByteArray &data);

QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &data);
// The names in a folder, sorted.
QStringList fileNames(const QString &directory);

// Fixed metadata, so that metadata lines can be compared byte for byte.
TLYMetadata::Fields testMetadataFields();
// Its record as compact JSON, for a file begun at startTime.
QByteArray testMetadataJson(quint64 startTime);

// One log line split into its four fields.
struct LogLine
{
    quint64 milliseconds = 0;
    QString name;
    qsizetype byteCount = 0;
    QByteArray payload;
};
// Splits a log file's text into lines; fails the current test on a line
// that is not well formed (wrong field count, byte count that does not
// match, text after the last line feed).
QList<LogLine> parseLogLines(const QByteArray &text);
