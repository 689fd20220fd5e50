#pragma once

#include <QSet>
#include <QString>

#include <functional>
#include <mutex>
#include <string>

// The process-wide store of drawn images: each image becomes a file in the
// temporary directory, announced to whoever converts the drawing so that it
// can delete the file later. The store deletes nothing itself until the
// process ends (close()). It is never destroyed, so that a conversion still
// running at exit can always reach it.
class TMPManager
{
public:
    static inline const QString DidSaveFileNotification =
        QStringLiteral("com.ferrowby.Quillmoor.TMPManagerDidSavedFile");
    // User-info key of the notification; the value is the file's QUrl.
    static inline const QString FilePathKey = QStringLiteral("FilePath");

    static TMPManager &instance();

    // Writes the bytes to a new "<UUID>.bmp" file, posts the notification on
    // the calling thread and returns the file URL text; empty on failure and
    // once the store is closed.
    std::string save(const unsigned char *bytes, std::size_t length);

    QSet<QString> savedPaths() const;

    // In the parser process images are not written there but handed to
    // the application, which writes them here; from this call on, save()
    // passes each image to the sink and returns what it returns (until a
    // call with an empty sink).
    using ImageSink = std::function<std::string(const unsigned char *bytes, std::size_t length)>;
    void redirect(ImageSink sink);

    // For the end of the process: waits for a save in progress, removes
    // every file saved so far that is still there, and refuses every later
    // save, so that a conversion that outlives the application leaves
    // nothing behind.
    void close();
    bool isClosed() const;

private:
    TMPManager() = default;

    // Held for the whole of a save, so that close() never finds one half
    // done.
    mutable std::mutex m_mutex;
    QSet<QString> m_paths;
    bool m_closed = false;
    ImageSink m_sink;
};
