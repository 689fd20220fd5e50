#include "TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

bool openssl(const QString &directory, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(QStringLiteral("openssl"), arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QStringList KeyOptions{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};

bool makeRoot(const QString &dir, const QString &name)
{
    return openssl(dir, QStringList{"req", "-x509"} + KeyOptions +
                            QStringList{"-keyout", name + ".key", "-out", name + ".pem", "-days",
                                        "30", "-subj", "/CN=Quillmoor Test " + name, "-addext",
                                        "basicConstraints=critical,CA:TRUE", "-addext",
                                        "keyUsage=critical,keyCertSign,cRLSign"});
}

bool makeServer(const QString &dir, const QString &name, const QString &root)
{
    return openssl(dir, QStringList{"req"} + KeyOptions +
                            QStringList{"-keyout", name + ".key", "-out", name + ".csr", "-subj",
                                        "/CN=127.0.0.1"}) &&
           openssl(dir, {"x509", "-req", "-in", name + ".csr", "-CA", root + ".pem", "-CAkey",
                         root + ".key", "-CAcreateserial", "-out", name + ".pem", "-days", "30",
                         "-extfile", "server.ext"});
}

// A root whose validity ended years ago; only "openssl ca" sets past dates.
bool makeExpiredRoot(const QString &dir)
{
    QFile config(dir + "/ca.cnf");
    QFile index(dir + "/index.txt");
    QFile serial(dir + "/serial");
    if (!config.open(QIODevice::WriteOnly) || !index.open(QIODevice::WriteOnly) ||
        !serial.open(QIODevice::WriteOnly))
        return false;
    config.write("[ca]\ndefault_ca=test\n[test]\ndatabase=index.txt\nnew_certs_dir=.\n"
                 "serial=serial\ndefault_md=sha256\npolicy=any\nunique_subject=no\n"
                 "[any]\ncommonName=supplied\n[root]\nbasicConstraints=critical,CA:TRUE\n"
                 "keyUsage=critical,keyCertSign,cRLSign\n");
    serial.write("01\n");
    config.close();
    index.close();
    serial.close();
    return openssl(dir, QStringList{"req"} + KeyOptions +
                            QStringList{"-keyout", "Expired.key", "-out", "Expired.csr", "-subj",
                                        "/CN=Quillmoor Test Expired Root"}) &&
           openssl(dir,
                   {"ca", "-batch", "-config", "ca.cnf", "-selfsign", "-keyfile", "Expired.key",
                    "-in", "Expired.csr", "-startdate", "20190101000000Z", "-enddate",
                    "20200101000000Z", "-extensions", "root", "-out", "Expired.pem"});
}

} // namespace

const TestCertificates &TestCertificates::shared()
{
    static const TestCertificates instance;
    return instance;
}

TestCertificates::TestCertificates()
{
    QTemporaryDir dir;
    const QString path = dir.path();
    QFile ext(dir.filePath("server.ext"));
    if (!ext.open(QIODevice::WriteOnly))
        return;
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
              "basicConstraints=CA:FALSE\n"
              "keyUsage=critical,digitalSignature,keyAgreement\n"
              "extendedKeyUsage=serverAuth\n");
    ext.close();
    if (!makeRoot(path, "RootA") || !makeRoot(path, "RootB") ||
        !makeServer(path, "ServerA", "RootA") || !makeServer(path, "ServerB", "RootB") ||
        !makeExpiredRoot(path) || !makeServer(path, "ServerOld", "Expired"))
        return;
    rootA = QSslCertificate(readAll(dir.filePath("RootA.pem")));
    rootB = QSslCertificate(readAll(dir.filePath("RootB.pem")));
    serverA = {{QSslCertificate(readAll(dir.filePath("ServerA.pem"))), rootA},
               QSslKey(readAll(dir.filePath("ServerA.key")), QSsl::Ec)};
    serverB = {{QSslCertificate(readAll(dir.filePath("ServerB.pem"))), rootB},
               QSslKey(readAll(dir.filePath("ServerB.key")), QSsl::Ec)};
    expiredRoot = QSslCertificate(readAll(dir.filePath("Expired.pem")));
    serverOfExpiredRoot = {{QSslCertificate(readAll(dir.filePath("ServerOld.pem"))), expiredRoot},
                           QSslKey(readAll(dir.filePath("ServerOld.key")), QSsl::Ec)};
    valid = !expiredRoot.isNull() && !serverOfExpiredRoot.key.isNull() && !rootA.isNull() &&
            !rootB.isNull() && !serverA.key.isNull() && !serverB.key.isNull();
}
