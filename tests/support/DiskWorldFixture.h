#pragma once
// A disk world of the test's own in a temporary root, built through the C++
// API (the demo world unless asked otherwise). While it lives, the process's
// system root and the TARNWICK_ROOT of every child process point at it, and
// Platform::FileManager asks it for free space.
#include "TestSupport.h"
#include "World.h"
#include "WorldBuilder.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace TestSupport {

// One run of a stand-in tool.
struct ToolRun {
    int status = -1; // -1: did not start or did not end
    QByteArray out;
    QByteArray err;
    // Standard output read as a property-list dictionary (empty when it is none).
    QVariantMap plist() const;
    bool isPlist() const;
};

class DiskWorldFixture {
public:
    struct Options {
        bool demo = true;
        QString version = QStringLiteral("13.4");
        QString user = QStringLiteral("tester");
    };

    DiskWorldFixture();
    explicit DiskWorldFixture(const Options &options);
    ~DiskWorldFixture();
    DiskWorldFixture(const DiskWorldFixture &) = delete;
    DiskWorldFixture &operator=(const DiskWorldFixture &) = delete;

    // False (with the reason) when the world could not be made.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    QString root() const { return m_root.path(); }
    // A path of the original platform under the root ("/Volumes/X" → <root>/Volumes/X).
    QString at(const QString &originalPath) const { return m_root.at(originalPath); }
    Platform::DiskWorld::World world() const;
    Platform::DiskWorld::State state() const;

    // Plugs a disk in; its whole disk's BSD name, empty on failure.
    QString attach(const Platform::DiskWorld::DiskSpec &spec);
    // A USB disk with one volume.
    QString attachUsb(const QString &volumeName, const QString &fs = QStringLiteral("ExFAT"), qint64 size = 32'000'000,
                      const QMap<QString, QByteArray> &files = {});

    // The volume of that name: its BSD name, mount point (empty when not mounted) and uuid.
    QString bsdName(const QString &volumeName) const;
    QString mountPoint(const QString &volumeName) const;
    QString volumeUUID(const QString &volumeName) const;
    QString diskUUID(const QString &bsdName) const;

    // Runs a stand-in tool ("diskutil", "asr", "hdiutil", "diskworld") on this world.
    ToolRun run(const QString &tool, const QStringList &arguments, const QByteArray &input = {},
                int timeoutMs = 60000) const;
    // `diskutil info -plist <identifier>`.
    QVariantMap info(const QString &identifier) const;
    // The state file's bytes: equal before and after means nothing changed.
    QByteArray stateBytes() const;
    QStringList problems() const;

private:
    TempRoot m_root;
    QByteArray m_previousEnv;
    bool m_hadEnv = false;
    QString m_error;
};

} // namespace TestSupport
