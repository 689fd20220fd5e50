#include "ORRApplicationIdentiferModel.h"

#include "ORRApplicationInfo.h"
#include "ORRHashing.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>
#include <optional>
#include <tuple>

namespace {

constexpr quint32 NoteSegment = 4;                  // PT_NOTE
constexpr quint32 VersionNeedsSection = 0x6ffffffe; // SHT_GNU_verneed
constexpr quint32 AbiTagNote = 1;                   // NT_GNU_ABI_TAG
constexpr quint32 BuildIdNote = 3;                  // NT_GNU_BUILD_ID

QString architectureName(quint16 machine, bool is64Bit)
{
    switch (machine) {
    case 3:
        return QStringLiteral("i386");
    case 62:
        return QStringLiteral("x86_64");
    case 183:
        return QStringLiteral("arm64");
    case 40:
        return QStringLiteral("arm");
    case 21:
        return QStringLiteral("ppc64");
    case 22:
        return is64Bit ? QStringLiteral("s390x") : QStringLiteral("s390");
    case 243:
        return is64Bit ? QStringLiteral("riscv64") : QStringLiteral("riscv32");
    case 258:
        return QStringLiteral("loongarch64");
    default:
        return QStringLiteral("unknown");
    }
}

// "GLIBC_2.34" as a version, or nothing for other names.
std::optional<ORRApplicationIdentiferModel::Version> cLibraryVersion(const QByteArray &name)
{
    static const QByteArray Prefix = QByteArrayLiteral("GLIBC_");
    if (!name.startsWith(Prefix))
        return std::nullopt;
    const QList<QByteArray> parts = name.mid(Prefix.size()).split('.');
    ORRApplicationIdentiferModel::Version version;
    bool ok = false;
    version.major = parts.value(0).toUInt(&ok);
    if (!ok)
        return std::nullopt;
    version.minor = parts.value(1).toUInt();
    version.patch = parts.value(2).toUInt();
    return version;
}

bool newer(const ORRApplicationIdentiferModel::Version &a,
           const ORRApplicationIdentiferModel::Version &b)
{
    return std::tie(a.major, a.minor, a.patch) > std::tie(b.major, b.minor, b.patch);
}

} // namespace

// Reads the fields of a mapped ELF file in its own byte order and class;
// every read is checked against the end of the file.
class ORRApplicationIdentiferModel::ElfReader
{
public:
    ElfReader(const uchar *bytes, quint64 size)
        : m_bytes(bytes)
        , m_size(size)
    {
        m_valid = size >= 52 && bytes[0] == 0x7f && bytes[1] == 'E' && bytes[2] == 'L' &&
                  bytes[3] == 'F' && (bytes[4] == 1 || bytes[4] == 2) &&
                  (bytes[5] == 1 || bytes[5] == 2);
        if (m_valid) {
            m_is64 = bytes[4] == 2;
            m_bigEndian = bytes[5] == 2;
            m_valid = !m_is64 || size >= 64;
        }
    }

    bool isValid() const { return m_valid; }
    bool is64Bit() const { return m_is64; }
    quint16 machine() const { return u16(18).value_or(0); }

    // Calls visit(type, descriptor) for every note in the note segments.
    template <typename Visitor> void forEachNote(Visitor visit) const
    {
        const quint64 tableOffset = word(m_is64 ? 32 : 28).value_or(0);
        const quint16 entrySize = u16(m_is64 ? 54 : 42).value_or(0);
        const quint16 count = u16(m_is64 ? 56 : 44).value_or(0);
        for (quint16 i = 0; i < count && entrySize > 0; ++i) {
            const quint64 entry = tableOffset + quint64(i) * entrySize;
            if (u32(entry) != NoteSegment)
                continue;
            const auto offset = word(entry + (m_is64 ? 8 : 4));
            const auto size = word(entry + (m_is64 ? 32 : 16));
            const auto alignment = word(entry + (m_is64 ? 48 : 28));
            if (offset && size && alignment)
                walkNotes(*offset, *size, *alignment == 8 ? 8 : 4, visit);
        }
    }

    // Calls visit(name) for every version the file needs from its libraries.
    template <typename Visitor> void forEachNeededVersion(Visitor visit) const
    {
        const quint64 tableOffset = word(m_is64 ? 40 : 32).value_or(0);
        const quint16 entrySize = u16(m_is64 ? 58 : 46).value_or(0);
        const quint16 count = u16(m_is64 ? 60 : 48).value_or(0);
        for (quint16 i = 0; i < count && entrySize > 0; ++i) {
            const quint64 section = tableOffset + quint64(i) * entrySize;
            if (u32(section + 4) != VersionNeedsSection)
                continue;
            const auto offset = word(section + (m_is64 ? 24 : 16));
            const auto size = word(section + (m_is64 ? 32 : 20));
            const auto link = u32(section + (m_is64 ? 40 : 24));
            if (!offset || !size || !link || *link >= count)
                continue;
            const auto strings =
                word(tableOffset + quint64(*link) * entrySize + (m_is64 ? 24 : 16));
            if (strings)
                walkVersionNeeds(*offset, *offset + *size, *strings, visit);
        }
    }

private:
    template <typename Visitor>
    void walkNotes(quint64 offset, quint64 size, quint64 alignment, Visitor visit) const
    {
        const quint64 end = offset + size;
        if (end < offset || end > m_size)
            return;
        const auto aligned = [alignment](quint64 value) {
            return (value + alignment - 1) / alignment * alignment;
        };
        while (offset + 12 <= end) {
            const quint32 nameSize = *u32(offset);
            const quint32 descriptorSize = *u32(offset + 4);
            const quint32 type = *u32(offset + 8);
            const quint64 name = offset + 12;
            const quint64 descriptor = name + aligned(nameSize);
            const quint64 next = descriptor + aligned(descriptorSize);
            if (next > end || next <= offset)
                return;
            if (nameSize == 4 && std::memcmp(m_bytes + name, "GNU", 4) == 0)
                visit(type,
                      QByteArray(reinterpret_cast<const char *>(m_bytes + descriptor),
                                 qsizetype(descriptorSize)),
                      *this);
            offset = next;
        }
    }

    template <typename Visitor>
    void walkVersionNeeds(quint64 offset, quint64 end, quint64 strings, Visitor visit) const
    {
        if (end > m_size)
            return;
        // Entries and their auxiliaries link by relative offsets; the
        // number of steps is bounded so a looping file cannot hang us.
        for (int files = 0; files < 1024 && offset + 16 <= end; ++files) {
            const quint16 auxCount = u16(offset + 2).value_or(0);
            quint64 aux = offset + u32(offset + 8).value_or(0);
            for (quint16 i = 0; i < auxCount && aux + 16 <= end; ++i) {
                const auto name = u32(aux + 8);
                if (name)
                    visit(string(strings + *name));
                const quint32 nextAux = u32(aux + 12).value_or(0);
                if (nextAux == 0)
                    break;
                aux += nextAux;
            }
            const quint32 next = u32(offset + 12).value_or(0);
            if (next == 0)
                break;
            offset += next;
        }
    }

public:
    std::optional<quint16> u16(quint64 offset) const
    {
        if (offset + 2 > m_size)
            return std::nullopt;
        return m_bigEndian ? qFromBigEndian<quint16>(m_bytes + offset)
                           : qFromLittleEndian<quint16>(m_bytes + offset);
    }
    std::optional<quint32> u32(quint64 offset) const
    {
        if (offset + 4 > m_size)
            return std::nullopt;
        return m_bigEndian ? qFromBigEndian<quint32>(m_bytes + offset)
                           : qFromLittleEndian<quint32>(m_bytes + offset);
    }
    std::optional<quint32> u32(const QByteArray &bytes, qsizetype offset) const
    {
        if (offset + 4 > bytes.size())
            return std::nullopt;
        const auto *data = reinterpret_cast<const uchar *>(bytes.constData()) + offset;
        return m_bigEndian ? qFromBigEndian<quint32>(data) : qFromLittleEndian<quint32>(data);
    }

private:
    // An address-sized field.
    std::optional<quint64> word(quint64 offset) const
    {
        if (!m_is64)
            return u32(offset);
        if (offset + 8 > m_size)
            return std::nullopt;
        return m_bigEndian ? qFromBigEndian<quint64>(m_bytes + offset)
                           : qFromLittleEndian<quint64>(m_bytes + offset);
    }
    QByteArray string(quint64 offset) const
    {
        QByteArray text;
        while (offset < m_size && m_bytes[offset] != 0 && text.size() < 256)
            text.append(char(m_bytes[offset++]));
        return text;
    }

    const uchar *m_bytes;
    quint64 m_size;
    bool m_valid = false;
    bool m_is64 = false;
    bool m_bigEndian = false;
};

std::shared_ptr<ORRApplicationIdentiferModel>
ORRApplicationIdentiferModel::initWithInstallID(const QString &installID, const Bundle &bundle)
{
    // The running image, even when its file has since been replaced.
    return initWithInstallID(installID, QStringLiteral("/proc/self/exe"), bundle);
}

std::shared_ptr<ORRApplicationIdentiferModel>
ORRApplicationIdentiferModel::initWithInstallID(const QString &installID,
                                                const QString &executablePath, const Bundle &bundle)
{
    std::shared_ptr<ORRApplicationIdentiferModel> model(
        new ORRApplicationIdentiferModel(executablePath, bundle));
    if (!model->computeExecutableInfo() || !model->computeInstanceIdentifier())
        return nullptr;
    model->m_installID = installID;
    model->m_bundleIdentifier = ORRApplicationBundleIdentifier(bundle);
    return model;
}

ORRApplicationIdentiferModel::ORRApplicationIdentiferModel(QString executablePath,
                                                           const Bundle &bundle)
    : m_executablePath(std::move(executablePath))
    , m_iconUtility(std::make_unique<ORRAppIconUtility>(bundle))
{}

std::shared_ptr<const ORRIcon> ORRApplicationIdentiferModel::icon() const
{
    return m_iconUtility->applicationIcon();
}

bool ORRApplicationIdentiferModel::computeExecutableInfo()
{
    QFile file(m_executablePath);
    if (!QFileInfo(m_executablePath).isFile() || !file.open(QIODevice::ReadOnly) ||
        file.size() < 16)
        return false;
    const uchar *bytes = file.map(0, file.size());
    if (!bytes)
        return false;

    const ElfReader elf(bytes, quint64(file.size()));
    if (elf.isValid()) {
        const QString architecture = architectureName(elf.machine(), elf.is64Bit());
        elf.forEachNote([&](quint32 type, const QByteArray &descriptor, const ElfReader &reader) {
            if (type == BuildIdNote && !descriptor.isEmpty()) {
                m_architectureUUIDMap.insert(architecture, ORR16BytesHexString(descriptor));
            } else if (type == AbiTagNote) {
                // Operating system (0 is Linux), then major, minor, patch.
                const auto os = reader.u32(descriptor, 0);
                if (os == 0u && descriptor.size() >= 16) {
                    m_minimumSDK = {*reader.u32(descriptor, 4), *reader.u32(descriptor, 8),
                                    *reader.u32(descriptor, 12)};
                }
            }
        });
        elf.forEachNeededVersion([&](const QByteArray &name) {
            const std::optional<Version> version = cLibraryVersion(name);
            if (version && newer(*version, m_builtSDK))
                m_builtSDK = *version;
        });
    }
    file.unmap(const_cast<uchar *>(bytes));
    return true;
}

bool ORRApplicationIdentiferModel::computeInstanceIdentifier()
{
    // QMap iterates its keys in plain string order.
    QString concatenated;
    for (const QString &uuid : m_architectureUUIDMap)
        concatenated += uuid;
    m_instanceIdentifier = ORRSHA1String(concatenated.toUtf8());
    return true;
}

QString ORRApplicationIdentiferModel::versionString(Version version)
{
    return QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.patch);
}
