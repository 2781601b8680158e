#pragma once
// The shell runners' fixed files go to a folder of the test's own while this
// lives (for tests that link the Disk library).
#include "ShellRunners.h"

#include <QTemporaryDir>

namespace TestSupport {

class RunnerFolder {
public:
    RunnerFolder() { QoSetRunnerDirectory(m_dir.path()); }
    ~RunnerFolder() { QoSetRunnerDirectory(QString()); }
    RunnerFolder(const RunnerFolder &) = delete;
    RunnerFolder &operator=(const RunnerFolder &) = delete;
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

} // namespace TestSupport
