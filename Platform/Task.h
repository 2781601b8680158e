#pragma once
#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>

namespace Platform {

// A child process (NSTask's place): a program and its arguments, never a
// shell line. Created on the main thread, its signals arrive on the main
// thread; created on a worker thread, that thread uses waitUntilExit.
class Task : public QObject {
    Q_OBJECT
public:
    explicit Task(QObject *parent = nullptr);
    ~Task() override;

    void setLaunchPath(const QString &path) { m_launchPath = path; }
    QString launchPath() const { return m_launchPath; }
    void setArguments(const QStringList &arguments) { m_arguments = arguments; }
    QStringList arguments() const { return m_arguments; }
    // Pipes: without them the child inherits this process's streams.
    void setStandardInputPipe(bool on) { m_stdinPipe = on; }
    void setStandardOutputPipe(bool on) { m_stdoutPipe = on; }
    // With an output pipe, standard error joins standard output; otherwise it
    // stays this process's standard error, as without pipes.
    void setMergeStandardError(bool on) { m_mergeStderr = on; }
    // Standard error through a pipe of its own (errorDataAvailable), unless
    // it is merged into standard output.
    void setStandardErrorPipe(bool on) { m_stderrPipe = on; }
    void setWorkingDirectory(const QString &dir) { m_workingDirectory = dir; }
    // The child starts in the folder held open by `fd` (fchdir before the
    // program runs), wherever that folder's path leads by then; a child that
    // cannot enter it ends at once with status 127. The descriptor stays the
    // caller's and must stay open until launch() has returned.
    void setWorkingFolderDescriptor(int fd) { m_workingFd = fd; }
    // The child also holds what `fd` holds open (a folder, say), under the
    // same number, and reaches it by descriptorPath(fd): a tool given a path
    // below that works in the held folder wherever its path leads by then.
    // The descriptor stays the caller's and must stay open until launch() has
    // returned.
    void setInheritedDescriptor(int fd) { m_inheritedFd = fd; }
    // The name a child gives to its descriptor `fd` ("/dev/fd/N").
    static QString descriptorPath(int fd);

    bool launch();
    bool isRunning() const;
    void terminate();
    void kill();
    // Waits up to ms (-1: for ever); true when the task has ended.
    bool waitUntilExit(int ms = -1);
    // The exit status; -1 while running, when it never started or was killed by a signal.
    int terminationStatus() const;
    bool exitedNormally() const;
    qint64 processIdentifier() const;

    void writeInput(const QByteArray &data);
    void closeInput();
    QByteArray readAvailableOutput();

signals:
    void dataAvailable(const QByteArray &chunk);
    void errorDataAvailable(const QByteArray &chunk);
    void terminated();

private:
    QString m_launchPath;
    QStringList m_arguments;
    QString m_workingDirectory;
    int m_workingFd = -1;
    int m_inheritedFd = -1;
    bool m_stdinPipe = false;
    bool m_stdoutPipe = false;
    bool m_mergeStderr = false;
    bool m_stderrPipe = false;
    bool m_started = false;
    QProcess *m_process = nullptr;
};

} // namespace Platform
