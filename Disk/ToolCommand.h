#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One command for the shell runners (ShellRunners.h): a program and its
// argument vector. The arguments reach the tool exactly as given, each as one
// argument; no shell ever reads them, so a volume name holding quotes, `$(…)`,
// backticks, ";", "&", spaces or line ends is just a name.
//
// The runners and their callers size their work by the command line a shell
// would have been given ("diskutil rename disk2s1 \"New Name\""), with a
// limit per buffer: 2047 characters for a runner line, 4095 for ZZDoCommand,
// and the callers' own 64- and 128-byte buffers. shellLine() renders that
// line, arguments marked as quoted inside double quotes as the old line had
// them, so the limits keep their exact meaning. A line that does not fit is
// never run (and never cut short).
//
//     execCommand(ToolCommand("diskutil", {"info", "-plist", bsdName}).withBuffer(64));
//     aepairExecCommand(ToolCommand("diskutil", {"rename", uuid}).quotedArg(newName).withBuffer(128));
//
// A default-constructed command is the null command: runners given it do
// nothing and return a null path.
class ToolCommand {
public:
    ToolCommand() = default;
    explicit ToolCommand(const QString &program, const QStringList &arguments = {});

    // Appends an argument written bare in the shell line.
    ToolCommand &arg(const QString &argument);
    // Appends an argument that the shell line puts inside double quotes.
    ToolCommand &quotedArg(const QString &argument);
    // The caller's own line buffer in bytes (0: none beyond the runner's).
    ToolCommand &withBuffer(int bytes);

    bool isNull() const { return m_program.isEmpty(); }
    QString program() const { return m_program; }
    QStringList arguments() const { return m_arguments; }
    int bufferSize() const { return m_buffer; }

    // The shell line in UTF-8, e.g. `diskutil eraseVolume "JHFS+" "Data" "/dev/disk3s1"`.
    QByteArray shellLine() const;
    // True when the line fits the caller's buffer with its terminating zero.
    bool fitsCallerBuffer() const;

    // The executable to start: "diskutil", "asr" and "hdiutil", bare or as
    // their original paths, are the stand-in tools (Platform::toolPath);
    // other bare names are looked up on PATH.
    QString executablePath() const;

private:
    QString m_program;
    QStringList m_arguments;
    QList<bool> m_quoted;
    int m_buffer = 0;
};
