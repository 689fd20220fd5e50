#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QDropEvent;
class QMimeData;

// Opens drawings dropped on any of the application's windows. Watches the
// drag events of the whole application, so that it also sees drops on
// views that take drops themselves (the web view would otherwise show the
// dropped file in place of the drawing's pages).
class DrawingDropHandler : public QObject
{
    Q_OBJECT
public:
    using Opener = std::function<void(const QStringList &paths)>;

    // Installs itself on the application; `open` receives the local
    // drawing files of each drop.
    explicit DrawingDropHandler(Opener open, QObject *parent = nullptr);
    ~DrawingDropHandler() override;

    // The local files among the dragged data that are drawings (".cdr" or
    // ".cmx", in any case).
    static QStringList drawingPaths(const QMimeData *data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Opener m_open;
};
