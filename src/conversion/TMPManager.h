#pragma once

#include <QSet>
#include <QString>

#include <mutex>
#include <string>

// The process-wide store of drawn images: each image becomes a file in the
// temporary directory, announced to whoever converts the drawing so that it
// can delete the file later. The store itself never deletes anything.
class TMPManager
{
public:
    static inline const QString DidSaveFileNotification =
        QStringLiteral("com.ferrowby.Quillmoor.TMPManagerDidSavedFile");
    // User-info key of the notification; the value is the file's QUrl.
    static inline const QString FilePathKey = QStringLiteral("FilePath");

    static TMPManager &instance();

    // Writes the bytes to a new "<UUID>.bmp" file, posts the notification on
    // the calling thread and returns the file URL text; empty on failure.
    std::string save(const unsigned char *bytes, std::size_t length);

    QSet<QString> savedPaths() const;

private:
    TMPManager() = default;

    mutable std::mutex m_mutex;
    QSet<QString> m_paths;
};
