#include "AnalyticsTestSupport.h"

#include "analytics/TLYEventLogFiles.h"
#include "analytics/TLYLogger.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <gtest/gtest.h>
#include <zlib.h>

TemporaryHome::TemporaryHome()
{
    for (const char *name : {"HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        m_saved.append({name, qEnvironmentVariableIsSet(name)
                                  ? std::optional<QByteArray>(qgetenv(name))
                                  : std::nullopt});
    }
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", m_home.filePath("cache").toUtf8());
    qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
}

TemporaryHome::~TemporaryHome()
{
    for (const auto &[name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QString TemporaryHome::cacheDirectory() const
{
    return m_home.filePath("cache");
}

QString TemporaryHome::dataDirectory() const
{
    return m_home.filePath("data");
}

QString TemporaryHome::analyticsRoot() const
{
    return TLYEventLogFiles::rootDirectoryForBundleIdentifier(cacheDirectory(),
                                                              "com.ferrowby.Quillmoor");
}

QString TemporaryHome::eventsDirectory() const
{
    return TLYEventLogFiles::eventDirectoryForRootDirectory(analyticsRoot());
}

DebugLogging::DebugLogging()
{
    TLYLogger::sharedLogger().setDebugMode(true);
}

DebugLogging::~DebugLogging()
{
    TLYLogger::sharedLogger().setDebugMode(false);
}

std::optional<MultipartBody> parseMultipart(const QByteArray &body, const QByteArray &boundary,
                                            QString *error)
{
    const auto fail = [error](const QString &why) -> std::optional<MultipartBody> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QByteArray delimiter = "--" + boundary;
    MultipartBody result;
    qsizetype position;
    if (body.startsWith(delimiter)) {
        position = 0;
    } else {
        position = body.indexOf("\r\n" + delimiter);
        if (position < 0)
            return fail("no delimiter");
        result.preamble = body.left(position);
        position += 2;
    }
    for (;;) {
        position += delimiter.size();
        if (body.mid(position, 2) == "--") {
            position += 2;
            if (body.mid(position, 2) == "\r\n")
                position += 2;
            result.epilogue = body.mid(position);
            return result;
        }
        if (body.mid(position, 2) != "\r\n")
            return fail("delimiter line not ended by CR LF");
        position += 2;
        MultipartPart part;
        for (;;) {
            const qsizetype end = body.indexOf("\r\n", position);
            if (end < 0)
                return fail("header line not ended");
            const QByteArray line = body.mid(position, end - position);
            position = end + 2;
            if (line.isEmpty())
                break;
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                return fail("malformed header line: " + QString::fromUtf8(line));
            part.headers.insert(line.left(colon).trimmed().toLower(),
                                line.mid(colon + 1).trimmed());
        }
        const qsizetype next = body.indexOf("\r\n" + delimiter, position);
        if (next < 0)
            return fail("part not ended by a delimiter");
        part.content = body.mid(position, next - position);
        result.parts.append(part);
        position = next + 2;
    }
}

std::optional<QByteArray> gunzip(const QByteArray &data)
{
    z_stream stream{};
    // 16: a gzip header and trailer around the deflate data.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    QByteArray output;
    char buffer[16384];
    int status;
    do {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        output.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
    } while (status == Z_OK);
    const bool complete = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return complete ? std::optional<QByteArray>(output) : std::nullopt;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

QStringList fileNames(const QString &directory)
{
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

TLYMetadata::Fields testMetadataFields()
{
    TLYMetadata::Fields fields;
    fields.APIKey = "5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80";
    fields.buildVersion = "100";
    fields.bundleIdentifier = "com.ferrowby.Quillmoor";
    fields.displayVersion = "1.0.0";
    fields.executionIdentifier = "0c1d2e3f40516273";
    fields.hostModel = "Test Model";
    fields.installationId = "4A6B2C1D-0000-4000-8000-0000000000AA";
    fields.instanceIdentifier = "9e8d7c6b5a49382716";
    fields.locale = "de_DE";
    fields.numberOfCores = 4;
    fields.OSBuildVersion = "6.1.0-test";
    fields.OSDisplayVersion = "12.4.0";
    fields.platform = "Linux";
    return fields;
}

QByteArray testMetadataJson(quint64 startTime)
{
    return R"({"advertising_tracking_enabled":false,)"
           R"("api_key":"5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80",)"
           R"("bundle_id":"com.ferrowby.Quillmoor","bundle_short_version":"1.0.0",)"
           R"("bundle_version":"100","cores":4,"generator":"Tally Mac SDK/1.3.6",)"
           R"("install_id":"4A6B2C1D-0000-4000-8000-0000000000AA",)"
           R"("instance_id":"9e8d7c6b5a49382716","jailbroken":false,)"
           R"("links_ad_support":false,"locale":"de_DE","machine":"Test Model",)"
           R"("model":"Test Model","os_build":"6.1.0-test","os_version":"12.4.0",)"
           R"("platform":"Linux","platform_code":0,"session_id":"0c1d2e3f40516273",)"
           R"("started_at":)" +
           QByteArray::number(startTime) + "}";
}

QList<LogLine> parseLogLines(const QByteArray &text)
{
    QList<LogLine> lines;
    EXPECT_TRUE(text.isEmpty() || text.endsWith('\n')) << "text after the last line feed";
    QList<QByteArray> rawLines = text.split('\n');
    rawLines.removeLast();
    for (const QByteArray &raw : rawLines) {
        const QList<QByteArray> fields = raw.split('\t');
        if (fields.size() != 4) {
            ADD_FAILURE() << "line without four fields: " << raw.toStdString();
            continue;
        }
        LogLine line;
        bool millisecondsOk = false;
        bool countOk = false;
        line.milliseconds = fields[0].toULongLong(&millisecondsOk);
        line.name = QString::fromUtf8(fields[1]);
        line.byteCount = fields[2].toLongLong(&countOk);
        line.payload = fields[3];
        EXPECT_TRUE(millisecondsOk && countOk) << raw.toStdString();
        EXPECT_EQ(line.byteCount, line.payload.size()) << raw.toStdString();
        EXPECT_TRUE(QJsonDocument::fromJson(line.payload).isObject()) << raw.toStdString();
        lines.append(line);
    }
    return lines;
}
