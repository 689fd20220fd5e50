#include "DrawingDropHandler.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>

#include <algorithm>

namespace {

bool isInsideWebView(QObject *object)
{
    for (auto *widget = qobject_cast<QWidget *>(object); widget; widget = widget->parentWidget()) {
        if (qobject_cast<QWebEngineView *>(widget))
            return true;
    }
    return false;
}

bool carriesLocalFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); });
}

} // namespace

DrawingDropHandler::DrawingDropHandler(Opener open, QObject *parent)
    : QObject(parent)
    , m_open(std::move(open))
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

DrawingDropHandler::~DrawingDropHandler()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

QStringList DrawingDropHandler::drawingPaths(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo file(url.toLocalFile());
        const QString suffix = file.suffix().toLower();
        if (file.isFile() && (suffix == QLatin1String("cdr") || suffix == QLatin1String("cmx")))
            paths.append(file.absoluteFilePath());
    }
    return paths;
}

bool DrawingDropHandler::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    if (!watched->isWidgetType())
        return QObject::eventFilter(watched, event);

    auto *drop = static_cast<QDropEvent *>(event);
    const QStringList drawings = drawingPaths(drop->mimeData());
    if (drawings.isEmpty()) {
        // Other files dropped on a page would replace it; refuse them there.
        if (carriesLocalFiles(drop->mimeData()) && isInsideWebView(watched)) {
            drop->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop)
        m_open(drawings);
    return true;
}
