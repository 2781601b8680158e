#include "DiskWorldFixture.h"

#include "PropertyList.h"
#include "SpaceProvider.h"
#include "Workspace.h"

#include <QFile>
#include <QProcess>

namespace TestSupport {

QVariantMap ToolRun::plist() const { return Platform::PropertyList::fromData(out).toMap(); }

bool ToolRun::isPlist() const { return Platform::PropertyList::fromData(out).typeId() == QMetaType::QVariantMap; }

DiskWorldFixture::DiskWorldFixture() : DiskWorldFixture(Options{}) {}

DiskWorldFixture::DiskWorldFixture(const Options &options)
{
    m_hadEnv = qEnvironmentVariableIsSet("TARNWICK_ROOT");
    m_previousEnv = qgetenv("TARNWICK_ROOT");
    qputenv("TARNWICK_ROOT", QFile::encodeName(m_root.path()));
    Platform::DiskWorld::WorldOptions o;
    o.demo = options.demo;
    o.version = options.version;
    o.consoleUser = options.user;
    if (!Platform::DiskWorld::createWorld(m_root.path(), o, &m_error) && m_error.isEmpty())
        m_error = QStringLiteral("the world could not be made");
    Platform::DiskWorld::installSpaceProvider();
    Platform::Workspace::shared().synchronizeVolumes();
}

DiskWorldFixture::~DiskWorldFixture()
{
    if (m_hadEnv)
        qputenv("TARNWICK_ROOT", m_previousEnv);
    else
        qunsetenv("TARNWICK_ROOT");
}

Platform::DiskWorld::World DiskWorldFixture::world() const { return Platform::DiskWorld::World(m_root.path()); }

Platform::DiskWorld::State DiskWorldFixture::state() const
{
    return world().load().value_or(Platform::DiskWorld::State{});
}

QString DiskWorldFixture::attach(const Platform::DiskWorld::DiskSpec &spec)
{
    QString error;
    const std::optional<QStringList> ids = Platform::DiskWorld::attachDisk(world(), spec, &error);
    if (!ids) {
        m_error = error;
        return {};
    }
    return ids->first();
}

QString DiskWorldFixture::attachUsb(const QString &volumeName, const QString &fs, qint64 size,
                                    const QMap<QString, QByteArray> &files)
{
    Platform::DiskWorld::DiskSpec spec;
    spec.size = size;
    Platform::DiskWorld::VolumeSpec v;
    v.name = volumeName;
    v.fs = fs;
    v.files = files;
    spec.partitions.push_back(v);
    return attach(spec);
}

QString DiskWorldFixture::bsdName(const QString &volumeName) const
{
    const Platform::DiskWorld::State s = state();
    for (const auto &[d, n] : s.volumes())
        if (n->volume->name == volumeName)
            return n->id;
    return {};
}

QString DiskWorldFixture::mountPoint(const QString &volumeName) const
{
    const Platform::DiskWorld::State s = state();
    for (const auto &[d, n] : s.volumes())
        if (n->volume->name == volumeName)
            return world().mountPoint(*n->volume);
    return {};
}

QString DiskWorldFixture::volumeUUID(const QString &volumeName) const
{
    const Platform::DiskWorld::State s = state();
    for (const auto &[d, n] : s.volumes())
        if (n->volume->name == volumeName)
            return n->volume->uuid;
    return {};
}

QString DiskWorldFixture::diskUUID(const QString &bsd) const
{
    const Platform::DiskWorld::State s = state();
    if (const auto *d = s.disk(bsd))
        return d->diskUUID;
    if (const auto *n = s.node(bsd))
        return n->diskUUID;
    return {};
}

ToolRun DiskWorldFixture::run(const QString &tool, const QStringList &arguments, const QByteArray &input,
                              int timeoutMs) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNWICK_ROOT"), m_root.path());
    p.setProcessEnvironment(env);
    p.start(toolsPath() + QLatin1Char('/') + tool, arguments);
    ToolRun r;
    if (!p.waitForStarted(10000))
        return r;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

QVariantMap DiskWorldFixture::info(const QString &identifier) const
{
    return run(QStringLiteral("diskutil"), {QStringLiteral("info"), QStringLiteral("-plist"), identifier}).plist();
}

QByteArray DiskWorldFixture::stateBytes() const { return readFile(world().statePath()); }

QStringList DiskWorldFixture::problems() const { return world().problems(); }

} // namespace TestSupport
