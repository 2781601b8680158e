#include "Task.h"

#include <fcntl.h>
#include <unistd.h>

namespace Platform {

Task::Task(QObject *parent) : QObject(parent) {}

Task::~Task()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        // Never leave a child behind that nobody reads.
        m_process->kill();
        m_process->waitForFinished(2000);
    }
}

bool Task::launch()
{
    if (m_started || m_launchPath.isEmpty())
        return false;
    m_started = true;
    m_process = new QProcess(this);
    m_process->setProgram(m_launchPath);
    m_process->setArguments(m_arguments);
    if (!m_workingDirectory.isEmpty())
        m_process->setWorkingDirectory(m_workingDirectory);
    if (m_workingFd >= 0 || m_inheritedFd >= 0)
        m_process->setChildProcessModifier([working = m_workingFd, inherited = m_inheritedFd] {
            if (working >= 0 && ::fchdir(working) != 0)
                ::_exit(127);
            // Kept under its own number: moving it elsewhere could close a
            // descriptor the child still needs before the program runs.
            if (inherited >= 0 && ::fcntl(inherited, F_SETFD, 0) != 0)
                ::_exit(127);
        });
    if (!m_stdinPipe)
        m_process->setInputChannelMode(QProcess::ForwardedInputChannel);
    if (m_stdoutPipe && m_mergeStderr)
        m_process->setProcessChannelMode(QProcess::MergedChannels);
    else if (m_stdoutPipe)
        m_process->setProcessChannelMode(m_stderrPipe ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    else
        m_process->setProcessChannelMode(m_stderrPipe ? QProcess::ForwardedOutputChannel : QProcess::ForwardedChannels);
    const bool errorPiped = m_stderrPipe && !(m_stdoutPipe && m_mergeStderr);
    if (errorPiped)
        connect(m_process, &QProcess::readyReadStandardError, this, [this] {
            const QByteArray chunk = m_process->readAllStandardError();
            if (!chunk.isEmpty())
                emit errorDataAvailable(chunk);
        });
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        const QByteArray chunk = m_process->readAllStandardOutput();
        if (!chunk.isEmpty())
            emit dataAvailable(chunk);
    });
    connect(m_process, &QProcess::finished, this, [this, errorPiped] {
        const QByteArray rest = m_process->readAllStandardOutput();
        if (!rest.isEmpty())
            emit dataAvailable(rest);
        const QByteArray errorRest = errorPiped ? m_process->readAllStandardError() : QByteArray();
        if (!errorRest.isEmpty())
            emit errorDataAvailable(errorRest);
        emit terminated();
    });
    m_process->start();
    if (!m_process->waitForStarted(10000)) {
        return false;
    }
    return true;
}

QString Task::descriptorPath(int fd) { return QStringLiteral("/dev/fd/%1").arg(fd); }

bool Task::isRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }

void Task::terminate()
{
    if (isRunning())
        m_process->terminate();
}

void Task::kill()
{
    if (isRunning())
        m_process->kill();
}

bool Task::waitUntilExit(int ms)
{
    if (!m_process)
        return true;
    if (m_process->state() == QProcess::NotRunning)
        return true;
    return m_process->waitForFinished(ms);
}

int Task::terminationStatus() const
{
    if (!m_process || m_process->state() != QProcess::NotRunning || m_process->error() == QProcess::FailedToStart)
        return -1;
    if (m_process->exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process->exitCode();
}

bool Task::exitedNormally() const
{
    return m_process && m_process->state() == QProcess::NotRunning && m_process->error() != QProcess::FailedToStart &&
           m_process->exitStatus() == QProcess::NormalExit;
}

qint64 Task::processIdentifier() const { return m_process ? m_process->processId() : 0; }

void Task::writeInput(const QByteArray &data)
{
    if (isRunning())
        m_process->write(data);
}

void Task::closeInput()
{
    if (m_process)
        m_process->closeWriteChannel();
}

QByteArray Task::readAvailableOutput() { return m_process ? m_process->readAllStandardOutput() : QByteArray(); }

} // namespace Platform
