#include "RecentDrawings.h"

#include "conversion/DrawingConverter.h"
#include "foundation/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace {

const QString BookmarkNamespace =
    QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString MimeNamespace =
    QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
const QString MetadataOwner = QStringLiteral("http://freedesktop.org");

QString applicationName()
{
    return QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Quillmoor")
                                                         : QCoreApplication::applicationName();
}

// The time as the bookmark file writes times: UTC with microseconds.
QString timestamp(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
           QStringLiteral("000Z");
}

QDateTime parseTimestamp(const QString &text)
{
    // Fractions of a second of any length, or none.
    QDateTime time = QDateTime::fromString(text.left(19), Qt::ISODate);
    time.setTimeSpec(Qt::UTC);
    return time;
}

QDomElement child(const QDomElement &parent, const QString &name)
{
    return parent.firstChildElement(name);
}

QDomElement childOrNew(QDomDocument &document, QDomElement parent, const QString &name)
{
    QDomElement element = parent.firstChildElement(name);
    if (element.isNull())
        element = parent.appendChild(document.createElement(name)).toElement();
    return element;
}

// The element of the application among a bookmark's applications.
QDomElement applicationOf(const QDomElement &bookmark, const QString &name)
{
    QDomElement metadata =
        child(child(bookmark, QStringLiteral("info")), QStringLiteral("metadata"));
    for (; !metadata.isNull(); metadata = metadata.nextSiblingElement(QStringLiteral("metadata"))) {
        if (metadata.attribute(QStringLiteral("owner")) != MetadataOwner)
            continue;
        const QDomElement applications = child(metadata, QStringLiteral("bookmark:applications"));
        for (QDomElement application = child(applications, QStringLiteral("bookmark:application"));
             !application.isNull();
             application = application.nextSiblingElement(QStringLiteral("bookmark:application")))
            if (application.attribute(QStringLiteral("name")) == name)
                return application;
    }
    return {};
}

QString mimeTypeOf(const QString &path)
{
    return DrawingConverter::isExchangeFile(path) ? QStringLiteral("image/x-cmx")
                                                  : QStringLiteral("application/vnd.corel-draw");
}

} // namespace

QString RecentDrawings::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("recently-used.xbel"));
}

RecentDrawings::RecentDrawings(QString path)
    : m_path(std::move(path))
{}

RecentDrawings::Read RecentDrawings::read(QDomDocument &document) const
{
    QFile file(m_path);
    if (!file.exists())
        return Read::Missing;
    QString message;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file, false, &message) ||
        document.documentElement().tagName() != QLatin1String("xbel")) {
        systemLog(QStringLiteral("The recent files list %1 cannot be read: %2")
                      .arg(m_path, message.isEmpty() ? file.errorString() : message));
        return Read::Unreadable;
    }
    return Read::Ok;
}

bool RecentDrawings::write(const QDomDocument &document) const
{
    QDir().mkpath(QFileInfo(m_path).path());
    const bool existed = QFile::exists(m_path);
    // Replaced whole, once written: readers never see half a list.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        systemLog(QStringLiteral("The recent files list %1 cannot be written: %2")
                      .arg(m_path, file.errorString()));
        return false;
    }
    // What the user opened is theirs alone to see.
    if (!existed)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(document.toByteArray(2));
    if (!file.commit()) {
        systemLog(QStringLiteral("The recent files list %1 cannot be written: %2")
                      .arg(m_path, file.errorString()));
        return false;
    }
    return true;
}

bool RecentDrawings::add(const QString &drawingPath)
{
    QDomDocument document;
    const Read state = read(document);
    if (state == Read::Unreadable)
        return false;
    if (state == Read::Missing) {
        document.setContent(QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                              "<xbel version=\"1.0\"/>"));
    }
    QDomElement root = document.documentElement();
    if (!root.hasAttribute(QStringLiteral("xmlns:bookmark")))
        root.setAttribute(QStringLiteral("xmlns:bookmark"), BookmarkNamespace);
    if (!root.hasAttribute(QStringLiteral("xmlns:mime")))
        root.setAttribute(QStringLiteral("xmlns:mime"), MimeNamespace);

    const QString path = QFileInfo(drawingPath).absoluteFilePath();
    const QString href = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    const QString now = timestamp(QDateTime::currentDateTimeUtc());
    QDomElement bookmark;
    for (QDomElement entry = root.firstChildElement(QStringLiteral("bookmark")); !entry.isNull();
         entry = entry.nextSiblingElement(QStringLiteral("bookmark")))
        if (entry.attribute(QStringLiteral("href")) == href)
            bookmark = entry;
    if (bookmark.isNull()) {
        bookmark = root.appendChild(document.createElement(QStringLiteral("bookmark"))).toElement();
        bookmark.setAttribute(QStringLiteral("href"), href);
        bookmark.setAttribute(QStringLiteral("added"), now);
    }
    bookmark.setAttribute(QStringLiteral("modified"), now);
    bookmark.setAttribute(QStringLiteral("visited"), now);

    const QString name = applicationName();
    QDomElement application = applicationOf(bookmark, name);
    if (application.isNull()) {
        QDomElement info = childOrNew(document, bookmark, QStringLiteral("info"));
        QDomElement metadata;
        for (QDomElement candidate = child(info, QStringLiteral("metadata")); !candidate.isNull();
             candidate = candidate.nextSiblingElement(QStringLiteral("metadata")))
            if (candidate.attribute(QStringLiteral("owner")) == MetadataOwner)
                metadata = candidate;
        if (metadata.isNull()) {
            metadata =
                info.appendChild(document.createElement(QStringLiteral("metadata"))).toElement();
            metadata.setAttribute(QStringLiteral("owner"), MetadataOwner);
        }
        QDomElement mime = childOrNew(document, metadata, QStringLiteral("mime:mime-type"));
        if (!mime.hasAttribute(QStringLiteral("type")))
            mime.setAttribute(QStringLiteral("type"), mimeTypeOf(path));
        QDomElement applications =
            childOrNew(document, metadata, QStringLiteral("bookmark:applications"));
        application =
            applications.appendChild(document.createElement(QStringLiteral("bookmark:application")))
                .toElement();
        application.setAttribute(QStringLiteral("name"), name);
        application.setAttribute(QStringLiteral("exec"), QStringLiteral("'quillmoor %f'"));
    }
    application.setAttribute(QStringLiteral("modified"), now);
    application.setAttribute(QStringLiteral("count"),
                             application.attribute(QStringLiteral("count")).toInt() + 1);
    return write(document);
}

QStringList RecentDrawings::drawings(int limit) const
{
    QDomDocument document;
    if (read(document) != Read::Ok)
        return {};
    const QString name = applicationName();
    QList<std::pair<QDateTime, QString>> found;
    for (QDomElement bookmark =
             document.documentElement().firstChildElement(QStringLiteral("bookmark"));
         !bookmark.isNull(); bookmark = bookmark.nextSiblingElement(QStringLiteral("bookmark"))) {
        const QDomElement application = applicationOf(bookmark, name);
        const QUrl url(bookmark.attribute(QStringLiteral("href")));
        if (application.isNull() || !url.isLocalFile() || !QFileInfo::exists(url.toLocalFile()))
            continue;
        found.append(
            {parseTimestamp(application.attribute(QStringLiteral("modified"))), url.toLocalFile()});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList paths;
    for (const auto &[time, path] : std::as_const(found)) {
        if (paths.size() == limit)
            break;
        paths.append(path);
    }
    return paths;
}

bool RecentDrawings::clear()
{
    QDomDocument document;
    const Read state = read(document);
    if (state != Read::Ok)
        return state == Read::Missing;
    const QString name = applicationName();
    QDomElement root = document.documentElement();
    bool changed = false;
    for (QDomElement bookmark = root.firstChildElement(QStringLiteral("bookmark"));
         !bookmark.isNull();) {
        const QDomElement next = bookmark.nextSiblingElement(QStringLiteral("bookmark"));
        QDomElement application = applicationOf(bookmark, name);
        if (!application.isNull()) {
            QDomNode applications = application.parentNode();
            applications.removeChild(application);
            if (applications.firstChildElement().isNull())
                root.removeChild(bookmark);
            changed = true;
        }
        bookmark = next;
    }
    return !changed || write(document);
}
