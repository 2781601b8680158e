#pragma once
#include <QString>
#include <QStringList>

namespace Platform {

class SecureFile;

// Runs one program with an argument vector and waits for it, standard output
// going into a file the caller opened safely. No shell is involved, so every
// argument reaches the program exactly as given, one argument each, whatever
// quotes, `$(…)`, backticks, semicolons or line ends it holds. Standard input
// and standard error are this process's; the environment is passed on (the
// stand-in tools read the system root and the clock scale from it).
class CommandRunner {
public:
    // `program` is a path, or a bare name looked up on PATH. Returns the exit
    // status, or -1 when the program could not be started or ended by a signal.
    static int run(const QString &program, const QStringList &arguments, const SecureFile &standardOutput);
};

} // namespace Platform
