#include "ConversionFailure.h"

#include <librevenge-stream/librevenge-stream.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <memory>

namespace {

using Stage = ConversionFailure::Stage;

// The members in which a zip-container drawing keeps its RIFF data.
constexpr std::array<const char *, 2> DrawingMembers = {"content/riffData.cdr", "content/root.dat"};

// What the first bytes of a RIFF stream say about it.
struct RiffHead
{
    bool riff = false;
    bool drawing = false;  // the form is "CDR" followed by a version mark
    bool exchange = false; // the form of a CorelDRAW exchange (CMX) file
    unsigned version = 0;  // libcdr's version number; 0 when it knows none
    quint64 declaredSize = 0;
};

// The version as libcdr reads it from the form's fourth character.
unsigned versionFromMark(unsigned char mark)
{
    if (mark == 0x20)
        return 300;
    if (mark >= 0x31 && mark < 0x3a)
        return 100 * (mark - 0x30);
    if (mark >= 0x41)
        return 100 * (mark - 0x37);
    return 0;
}

RiffHead readRiffHead(const QByteArray &head)
{
    RiffHead result;
    if (head.size() < 12 || !head.startsWith("RIFF"))
        return result;
    result.riff = true;
    result.declaredSize = quint64(qFromLittleEndian<quint32>(head.constData() + 4)) + 8;
    const QByteArray form = head.mid(8, 4);
    if (form.left(3).toUpper() == "CDR") {
        result.drawing = true;
        result.version = versionFromMark(static_cast<unsigned char>(form.at(3)));
    } else if (form.startsWith("CMX")) {
        result.exchange = true;
    }
    return result;
}

QByteArray readMemberHead(librevenge::RVNGInputStream &archive, const char *member)
{
    archive.seek(0, librevenge::RVNG_SEEK_SET);
    const std::unique_ptr<librevenge::RVNGInputStream> stream(archive.getSubStreamByName(member));
    if (!stream)
        return {};
    unsigned long read = 0;
    const unsigned char *bytes = stream->read(12, read);
    return QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(read));
}

QString describedVersion(unsigned version)
{
    const QString name = ConversionFailure::versionName(version);
    return name.isEmpty() ? ConversionFailure::tr("CorelDRAW version %1").arg(version / 100) : name;
}

// A drawing that libcdr recognised but could not read.
QString unreadableDrawing(const QString &name, const RiffHead &riff)
{
    if (riff.version == 0)
        return ConversionFailure::tr(
                   "“%1” was saved by a version of CorelDRAW that libcdr cannot read.")
            .arg(name);
    return ConversionFailure::tr(
               "“%1” is a %2 drawing that libcdr could not read: the file is damaged, or libcdr "
               "cannot read drawings of this version.")
        .arg(name, describedVersion(riff.version));
}

QString zipReason(const QString &filePath, const QString &name)
{
    librevenge::RVNGFileStream archive(QFile::encodeName(filePath).constData());
    if (!archive.isStructured())
        return ConversionFailure::tr("“%1” is a damaged or truncated zip archive.").arg(name);
    for (const char *member : DrawingMembers) {
        if (!archive.existsSubStream(member))
            continue;
        const RiffHead riff = readRiffHead(readMemberHead(archive, member));
        if (!riff.drawing)
            return ConversionFailure::tr("“%1” holds a damaged CorelDRAW drawing.").arg(name);
        return unreadableDrawing(name, riff);
    }
    return ConversionFailure::tr("“%1” is a zip archive that holds no CorelDRAW drawing.")
        .arg(name);
}

} // namespace

QString ConversionFailure::versionName(unsigned version)
{
    static const std::array<const char *, 16> Names = {
        "CorelDRAW 10",   "CorelDRAW 11",   "CorelDRAW 12",   "CorelDRAW X3",
        "CorelDRAW X4",   "CorelDRAW X5",   "CorelDRAW X6",   "CorelDRAW X7",
        "CorelDRAW X8",   "CorelDRAW 2017", "CorelDRAW 2018", "CorelDRAW 2019",
        "CorelDRAW 2020", "CorelDRAW 2021", "CorelDRAW 2022", "CorelDRAW 2023",
    };
    if (version >= 100 && version < 1000)
        return QStringLiteral("CorelDRAW %1").arg(version / 100);
    const unsigned index = version / 100 - 10;
    if (version >= 1000 && index < Names.size())
        return QString::fromLatin1(Names[index]);
    return {};
}

void ConversionFailure::setError(Error *error, int code, const QString &message,
                                 const QString &filePath, Stage stage)
{
    if (error)
        *error = Error(Error::CocoaErrorDomain, code,
                       {{Error::LocalizedDescriptionKey, message},
                        {Error::LocalizedFailureReasonKey, reason(filePath, stage)}});
}

QString ConversionFailure::reason(const QString &filePath, Stage stage)
{
    const QFileInfo info(filePath);
    const QString name = info.fileName().isEmpty() ? filePath : info.fileName();
    switch (stage) {
    case Stage::NoPages:
        return tr("The drawing in “%1” has no page that could be shown.").arg(name);
    case Stage::ParserCrashed:
        return tr("libcdr crashed while reading “%1”: the file is damaged, or libcdr cannot read "
                  "it.")
            .arg(name);
    case Stage::ParserTimedOut:
        return tr("libcdr took too long to read “%1” and was stopped: the file is damaged, or too "
                  "complex.")
            .arg(name);
    case Stage::ParserOutOfMemory:
        return tr("libcdr needed more memory than it may use to read “%1”: the file is damaged, "
                  "or too large.")
            .arg(name);
    case Stage::ParserUnavailable:
        return tr("“%1” could not be read: the program that reads drawings (quillmoor-parser) "
                  "could not be started.")
            .arg(name);
    case Stage::Cancelled:
        return tr("Reading “%1” was cancelled.").arg(name);
    case Stage::Rejected:
    case Stage::ParseFailed:
        break;
    }
    if (!info.exists())
        return tr("“%1” does not exist.").arg(name);
    if (info.isDir())
        return tr("“%1” is a folder, not a drawing.").arg(name);
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return tr("“%1” could not be read: %2.").arg(name, file.errorString());
    const qint64 size = file.size();
    if (size == 0)
        return tr("“%1” is empty.").arg(name);
    const QByteArray head = file.read(12);
    file.close();

    const RiffHead riff = readRiffHead(head);
    if (riff.drawing) {
        if (riff.declaredSize > quint64(size))
            return tr("“%1” is truncated: it ends after %2 of its %3 bytes.")
                .arg(name)
                .arg(size)
                .arg(riff.declaredSize);
        return unreadableDrawing(name, riff);
    }
    if (riff.exchange && stage == Stage::ParseFailed)
        return tr("“%1” is a CorelDRAW exchange (CMX) file that libcdr could not read: the file "
                  "is damaged.")
            .arg(name);
    if (riff.exchange)
        return tr("“%1” is a CorelDRAW exchange (CMX) file, not a CorelDRAW drawing.").arg(name);
    if (head.startsWith("WL"))
        return tr("“%1” is an early CorelDRAW drawing that libcdr could not read: the file is "
                  "damaged.")
            .arg(name);
    if (head.startsWith("PK"))
        return zipReason(filePath, name);
    return tr("“%1” is not a CorelDRAW drawing.").arg(name);
}
