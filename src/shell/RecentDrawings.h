#pragma once

#include <QString>
#include <QStringList>

class QDomDocument;

// The drawings opened lately, kept where Linux desktops keep a user's
// recent files (the recently-used.xbel bookmark file of the XDG data
// folder), registered for Quillmoor as other applications register theirs:
// file choosers and the desktop show them among the recent files, and the
// File menu lists Quillmoor's own. Other applications' entries are kept as
// they are, and a file that cannot be read is never written over.
class RecentDrawings
{
public:
    static constexpr int MenuLength = 10;

    // "recently-used.xbel" in the user's data folder.
    static QString defaultPath();

    explicit RecentDrawings(QString path = defaultPath());

    const QString &path() const { return m_path; }

    // Records that Quillmoor opened the drawing just now; false when the
    // list could not be written (it is then left as it was).
    bool add(const QString &drawingPath);
    // Quillmoor's drawings that still exist, the latest first.
    QStringList drawings(int limit = MenuLength) const;
    // Takes Quillmoor off every entry; entries of no other application go.
    bool clear();

private:
    enum class Read
    {
        Ok,
        Missing,
        Unreadable
    };
    Read read(QDomDocument &document) const;
    bool write(const QDomDocument &document) const;

    QString m_path;
};
