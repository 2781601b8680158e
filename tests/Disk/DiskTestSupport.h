#pragma once
// Fixtures of the Disk tests: a stand-in tools folder with a scriptable
// `diskutil`, the runner folder and the bundle pointed at temporary folders.
#include "Bundle.h"
#include "SystemRoot.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <ostream>
#include <unistd.h>

// Failure messages show texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace DiskTest {

// A `diskutil` of our own for the runners' tests. Its verbs:
//   args ARG…              prints every argument followed by a NUL byte
//   info -plist NAME       prints a dictionary with "VolumeName" NAME
//   slowinfo SECONDS NAME  the same after sleeping (real seconds)
//   silent                 prints nothing
inline const char *kFakeDiskutil = R"(#!/bin/sh
verb="$1"; shift
plist() {
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>VolumeName</key><string>%s</string></dict></plist>\n' "$1"
}
case "$verb" in
  args) for a in "$@"; do printf '%s\0' "$a"; done ;;
  info) plist "$2" ;;
  slowinfo) sleep "$1"; plist "$2" ;;
  silent) ;;
esac
)";

class FakeTools {
public:
    FakeTools() : m_previous(Platform::toolsDirectory())
    {
        const QString path = m_dir.filePath(QStringLiteral("diskutil"));
        TestSupport::writeFile(path, kFakeDiskutil);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        Platform::setToolsDirectory(m_dir.path());
    }
    ~FakeTools() { Platform::setToolsDirectory(m_previous); }
    QString path() const { return m_dir.path(); }
    FakeTools(const FakeTools &) = delete;
    FakeTools &operator=(const FakeTools &) = delete;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// A bundle of the test's own whose resources the test writes.
class TempBundle {
public:
    TempBundle() : m_previous(Platform::Bundle::mainBundle().bundlePath())
    {
        m_path = m_dir.filePath(QStringLiteral("Tarnwick.app"));
        TestSupport::writeFile(m_path + QStringLiteral("/Contents/Info.plist"), {});
        QDir().mkpath(m_path + QStringLiteral("/Contents/Resources"));
        Platform::Bundle::setMainBundlePath(m_path);
    }
    ~TempBundle() { Platform::Bundle::setMainBundlePath(m_previous); }
    QString resource(const QString &name) const { return m_path + QStringLiteral("/Contents/Resources/") + name; }
    TempBundle(const TempBundle &) = delete;
    TempBundle &operator=(const TempBundle &) = delete;

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_previous;
};

// The arguments the fake tool's "args" verb printed.
inline QStringList splitArguments(const QByteArray &output)
{
    QStringList out;
    QList<QByteArray> parts = output.split('\0');
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    for (const QByteArray &p : parts)
        out.append(QString::fromUtf8(p));
    return out;
}

inline QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

// The uid tests give files that "another user" planted.
constexpr uid_t kOtherUser = 65534;

} // namespace DiskTest
