#include "sdk/ORRApplicationIdentiferModel.h"
#include "sdk/ORRApplicationInfo.h"
#include "sdk/ORRHashing.h"
#include "sdk/ORRIcon.h"

#include "foundation/PropertyList.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

// A minimal little-endian 64-bit ELF file: header, one note segment with a
// build-ID note and an ABI-tag note, and no sections.
QByteArray elfFile(quint16 machine, const QByteArray &buildId, bool abiTag = true)
{
    QByteArray notes;
    const auto word = [](QByteArray &out, quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        out.append(bytes, 4);
    };
    const auto note = [&](quint32 type, const QByteArray &descriptor) {
        word(notes, 4);
        word(notes, quint32(descriptor.size()));
        word(notes, type);
        notes.append("GNU\0", 4);
        notes.append(descriptor);
        while (notes.size() % 4)
            notes.append('\0');
    };
    if (!buildId.isEmpty())
        note(3, buildId);
    if (abiTag) {
        QByteArray tag;
        for (quint32 value : {0u, 3u, 2u, 0u})
            word(tag, value);
        note(1, tag);
    }
    QByteArray file(64 + 56, '\0');
    file.replace(0, 6,
                 QByteArray("\x7f"
                            "ELF\x02\x01",
                            6));
    const auto put16 = [&](int offset, quint16 value) {
        qToLittleEndian(value, file.data() + offset);
    };
    const auto put32 = [&](int offset, quint32 value) {
        qToLittleEndian(value, file.data() + offset);
    };
    const auto put64 = [&](int offset, quint64 value) {
        qToLittleEndian(value, file.data() + offset);
    };
    put16(18, machine);
    put64(32, 64); // program headers right after the header
    put16(54, 56);
    put16(56, 1);
    put32(64, 4); // a note segment
    put64(64 + 8, quint64(file.size()));
    put64(64 + 32, quint64(notes.size()));
    put64(64 + 48, 4);
    return file + notes;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

} // namespace

TEST(ORRApplicationIdentiferModelTest, RunningExecutableIsIdentifiedByItsBuildId)
{
    QProcess readelf;
    readelf.start("readelf", {"-n", QFile::symLinkTarget("/proc/self/exe")});
    if (!readelf.waitForFinished(20000) || readelf.exitCode() != 0)
        GTEST_SKIP() << "readelf is not available";
    const QRegularExpressionMatch match =
        QRegularExpression("Build ID: ([0-9a-f]+)")
            .match(QString::fromUtf8(readelf.readAllStandardOutput()));
    ASSERT_TRUE(match.hasMatch());
    const QString uuid = match.captured(1).left(32);

    const auto model = ORRApplicationIdentiferModel::initWithInstallID("INSTALL");
    ASSERT_TRUE(model);
    EXPECT_EQ(model->installID(), "INSTALL");
    EXPECT_EQ(model->bundleIdentifier(), "com.ferrowby.Quillmoor");
    ASSERT_EQ(model->architectureUUIDMap().size(), 1);
    EXPECT_EQ(model->architectureUUIDMap().first(), uuid);
    EXPECT_EQ(model->instanceIdentifier(), ORRSHA1String(uuid.toUtf8()));
    // Linked against the C library of this system, which has symbol versions.
    EXPECT_GE(model->builtSDK().major, 2u);
}

TEST(ORRApplicationIdentiferModelTest, ReadsArchitectureBuildIdAndMinimumVersion)
{
    QTemporaryDir dir;
    const QByteArray id = QByteArray::fromHex("00112233445566778899aabbccddeeff01020304");
    const auto model = ORRApplicationIdentiferModel::initWithInstallID(
        "I", writeFile(dir, "x86", elfFile(62, id)));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->architectureUUIDMap(),
              (QMap<QString, QString>{{"x86_64", "00112233445566778899aabbccddeeff"}}));
    EXPECT_EQ(model->instanceIdentifier(), ORRSHA1String("00112233445566778899aabbccddeeff"));
    EXPECT_EQ(model->minimumSDKString(), "3.2.0");
    EXPECT_EQ(model->builtSDKString(), "0.0.0");

    const auto arm = ORRApplicationIdentiferModel::initWithInstallID(
        "I", writeFile(dir, "arm", elfFile(183, id.left(16), false)));
    ASSERT_TRUE(arm);
    EXPECT_EQ(arm->architectureUUIDMap().keys(), QStringList{"arm64"});
    EXPECT_EQ(arm->minimumSDKString(), "0.0.0");
}

TEST(ORRApplicationIdentiferModelTest, OddFilesGiveEmptyMapsOrNoModel)
{
    QTemporaryDir dir;
    EXPECT_FALSE(ORRApplicationIdentiferModel::initWithInstallID("I", dir.filePath("missing")));
    EXPECT_FALSE(
        ORRApplicationIdentiferModel::initWithInstallID("I", writeFile(dir, "tiny", "ELF")));
    EXPECT_FALSE(ORRApplicationIdentiferModel::initWithInstallID("I", dir.path()));

    const auto script = ORRApplicationIdentiferModel::initWithInstallID(
        "I", writeFile(dir, "script", "#!/bin/sh\necho not a program\n"));
    ASSERT_TRUE(script);
    EXPECT_TRUE(script->architectureUUIDMap().isEmpty());
    EXPECT_EQ(script->instanceIdentifier(), ORRSHA1String(QByteArray()));

    // Headers pointing past the end of the file are not followed.
    QByteArray truncated = elfFile(62, QByteArray(20, 'a'));
    truncated.chop(10);
    const auto cut =
        ORRApplicationIdentiferModel::initWithInstallID("I", writeFile(dir, "cut", truncated));
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->architectureUUIDMap().isEmpty());
}

TEST(ORRApplicationInfoTest, ReadsTheInformationDictionary)
{
    QTemporaryDir dir;
    ASSERT_TRUE(PropertyList::writeFile(dir.filePath("Info.plist"),
                                        QVariantMap{{"CFBundleIdentifier", "com.example/App"},
                                                    {"CFBundleVersion", "77"},
                                                    {"TarnwellSignedForDistribution", "YES"}}));
    Bundle bundle(dir.path());
    EXPECT_EQ(ORRApplicationBundleIdentifier(bundle), "com.example_App");
    EXPECT_EQ(ORRApplicationName(bundle), "77");
    EXPECT_EQ(ORRApplicationBuildVersion(bundle), "77");
    EXPECT_TRUE(ORRApplicationDisplayVersion(bundle).isNull());
    EXPECT_EQ(ORRApplicationInstallSource(bundle), 3);
    EXPECT_TRUE(ORRShouldCollectDeviceIdentifiers(false, bundle));
    EXPECT_FALSE(ORRShouldCollectDeviceIdentifiers(true, bundle));

    EXPECT_EQ(ORRApplicationName(Bundle::mainBundle()), "Quillmoor");
    EXPECT_EQ(ORRApplicationInstallSource(Bundle::mainBundle()), 1);
    for (const char *yes : {"YES", "true", " +01", "9"})
        EXPECT_TRUE(ORRBooleanValue(QString(yes))) << yes;
    for (const char *no : {"NO", "false", "0", "", "-0"})
        EXPECT_FALSE(ORRBooleanValue(QString(no))) << no;
}

TEST(ORRApplicationInfoTest, HashesAndIcons)
{
    EXPECT_EQ(ORRHexadecimalString(QByteArray("\x00\x0f\xa0\xff", 4)), "000fa0ff");
    EXPECT_EQ(ORRSHA1String("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(ORRSHA256String("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(ORR16BytesHexString(QByteArray(20, '\x01')), QString(32, '0').replace("00", "01"));

    EXPECT_TRUE(ORRIcon("png", QSizeF(1024, 1024)).isWithinMaxSurfaceArea());
    EXPECT_FALSE(ORRIcon("png", QSizeF(1025, 1024)).isWithinMaxSurfaceArea());
    EXPECT_EQ(ORRIcon("png", QSizeF(1, 1)).dataHash(), ORRSHA1String("png"));
    QImage image(16, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const auto icon = ORRIcon::initWithImage(image);
    ASSERT_TRUE(icon);
    EXPECT_TRUE(icon->data().startsWith("\x89PNG"));
    EXPECT_EQ(icon->size(), QSizeF(16, 8));
    EXPECT_TRUE(icon->prerendered());
}
