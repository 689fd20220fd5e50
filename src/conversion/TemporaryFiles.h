#pragma once

#include <QList>
#include <QUrl>

#include <mutex>

// The image files written while one drawing was converted, kept for the
// document that shows them. The conversion adds files on its own thread,
// and may go on doing so after the document has let go of them: from then
// on each file is removed as soon as it arrives.
class TemporaryFiles
{
public:
    TemporaryFiles() = default;
    TemporaryFiles(const TemporaryFiles &) = delete;
    TemporaryFiles &operator=(const TemporaryFiles &) = delete;

    void add(const QUrl &url);
    QList<QUrl> urls() const;

    // Removes every file, in the order they came, logging each; files added
    // later are removed at once.
    void removeAll();

private:
    static void remove(const QUrl &url);

    mutable std::mutex m_mutex;
    QList<QUrl> m_urls;
    bool m_removed = false;
};
