#include "ShellRunners.h"

#include "Platform/CommandRunner.h"
#include "Platform/FileManager.h"
#include "Platform/SecureFile.h"
#include "Platform/SystemLog.h"
#include "Platform/SystemRoot.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include <cstdlib>

namespace {

// Line buffers of the old shell lines, terminating zero included.
constexpr int kRunnerLineBuffer = 2048;
constexpr int kZZDoCommandLineBuffer = 4096;

QMutex g_directoryMutex;
QString g_directory;

// The outputs tools are writing right now. A program that ends meanwhile
// (quit while a volume is being measured) removes them on its way out rather
// than leave empty files behind; the tool writes on into a removed file.
QMutex g_underWayMutex;
QSet<QString> &underWay()
{
    static QSet<QString> paths;
    return paths;
}
void removeUnderWay()
{
    QMutexLocker lock(&g_underWayMutex);
    for (const QString &path : std::as_const(underWay()))
        Platform::SecureFile::removeEntry(path);
    underWay().clear();
}

// A run's output file, made and noted as under way in one step: a program
// that ends meanwhile finds it either not made yet or noted, never made and
// not yet noted.
class UnderWay {
public:
    explicit UnderWay(const QString &prefix)
    {
        QMutexLocker lock(&g_underWayMutex);
        m_file = Platform::SecureFile::createUnique(prefix);
        m_path = m_file.path();
        if (m_file.isOpen())
            underWay().insert(m_path);
        // Registered after the set is made, so it runs before the set is gone.
        static const bool registered =
            std::atexit(removeUnderWay) == 0 && std::at_quick_exit(removeUnderWay) == 0;
        (void)registered;
    }
    ~UnderWay()
    {
        QMutexLocker lock(&g_underWayMutex);
        underWay().remove(m_path);
    }
    UnderWay(const UnderWay &) = delete;
    UnderWay &operator=(const UnderWay &) = delete;

    Platform::SecureFile &file() { return m_file; }

private:
    Platform::SecureFile m_file;
    QString m_path;
};

RunnerResult runInto(const ToolCommand &command, const QString &outputPath, int lineBuffer)
{
    RunnerResult result;
    result.path = outputPath;
    // The old output goes first, whatever happens next. Only the entry itself
    // is removed, never what a planted link points to.
    Platform::SecureFile::removeEntry(outputPath);

    const QByteArray line = command.shellLine() + " > " + outputPath.toUtf8();
    if (line.size() >= lineBuffer || !command.fitsCallerBuffer()) {
        Platform::systemLog(
            QStringLiteral("command line of %1 bytes does not fit its buffer; not run").arg(line.size()));
        return result;
    }

    // Each run writes a file of its own, created afresh (O_EXCL) beside the
    // fixed name, and only then takes the fixed name: concurrent runs never
    // read each other's output, and nothing planted under the name is
    // written through.
    UnderWay underWay(outputPath + QLatin1Char('.'));
    Platform::SecureFile &out = underWay.file();
    if (!out.isOpen()) {
        Platform::systemLog(QStringLiteral("cannot create the output of a command in %1: %2")
                                .arg(QFileInfo(outputPath).absolutePath(), out.errorString()));
        return result;
    }
    result.exitStatus = Platform::CommandRunner::run(command.executablePath(), command.arguments(), out);
    result.ran = true;
    result.output = out.readAll();
    // A tool that wrote nothing leaves no file, as after the deletion above.
    if (result.output.isEmpty() || !out.moveTo(outputPath))
        out.remove();
    return result;
}

RunnerResult runMember(const ToolCommand &command, const char *fileName)
{
    if (command.isNull())
        return {};
    return runInto(command, QoRunnerDirectory() + QLatin1Char('/') + QLatin1String(fileName), kRunnerLineBuffer);
}

} // namespace

RunnerResult QoExecCommand(const ToolCommand &command) { return runMember(command, "QoTemp.plist"); }
RunnerResult AexecCommand(const ToolCommand &command) { return runMember(command, "AKestrovaTemp.plist"); }
RunnerResult eraserDiskCommand(const ToolCommand &command) { return runMember(command, "eraserDiskTemp.plist"); }
RunnerResult execCommand(const ToolCommand &command) { return runMember(command, "KestrovaTemp.plist"); }
RunnerResult eraserExecCommand(const ToolCommand &command) { return runMember(command, "eraserVolumeTemp.plist"); }
RunnerResult aepairExecCommand(const ToolCommand &command) { return runMember(command, "VastrelRepairTemp.plist"); }
RunnerResult changeNameExecCommand(const ToolCommand &command)
{
    return runMember(command, "VastrelChangeNameTemp.plist");
}
RunnerResult ejectExecCommand(const ToolCommand &command) { return runMember(command, "ejectExecCommandTemp.plist"); }

RunnerResult ZZDoCommand(const ToolCommand &command, const QString &outputPath)
{
    if (command.isNull() || outputPath.isNull())
        return {};
    return runInto(command, outputPath, kZZDoCommandLineBuffer);
}

QString QoRunnerDirectory()
{
    {
        QMutexLocker lock(&g_directoryMutex);
        if (!g_directory.isEmpty())
            return g_directory;
    }
    return QDir::tempPath();
}

void QoSetRunnerDirectory(const QString &directory)
{
    QMutexLocker lock(&g_directoryMutex);
    g_directory = directory;
}

bool QoCheckFolderExist(const QString &path)
{
    if (path.isNull())
        return false;
    bool isDirectory = false;
    return Platform::FileManager::defaultManager().fileExists(Platform::rootPath(path), &isDirectory) && isDirectory;
}
