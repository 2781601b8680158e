#include "ToolCommand.h"

#include "Platform/SystemRoot.h"

#include <QStandardPaths>

ToolCommand::ToolCommand(const QString &program, const QStringList &arguments)
    : m_program(program), m_arguments(arguments), m_quoted(arguments.size(), false)
{
}

ToolCommand &ToolCommand::arg(const QString &argument)
{
    m_arguments.append(argument);
    m_quoted.append(false);
    return *this;
}

ToolCommand &ToolCommand::quotedArg(const QString &argument)
{
    m_arguments.append(argument);
    m_quoted.append(true);
    return *this;
}

ToolCommand &ToolCommand::withBuffer(int bytes)
{
    m_buffer = bytes;
    return *this;
}

QByteArray ToolCommand::shellLine() const
{
    QByteArray line = m_program.toUtf8();
    for (qsizetype i = 0; i < m_arguments.size(); ++i) {
        line += ' ';
        if (m_quoted.value(i))
            line += '"' + m_arguments.at(i).toUtf8() + '"';
        else
            line += m_arguments.at(i).toUtf8();
    }
    return line;
}

bool ToolCommand::fitsCallerBuffer() const { return m_buffer <= 0 || shellLine().size() < m_buffer; }

QString ToolCommand::executablePath() const
{
    static const QStringList standIns = {QStringLiteral("/usr/sbin/diskutil"), QStringLiteral("/usr/sbin/asr"),
                                         QStringLiteral("/usr/bin/hdiutil")};
    if (m_program.contains(QLatin1Char('/')))
        return Platform::toolPath(m_program);
    for (const QString &original : standIns)
        if (original.endsWith(QLatin1Char('/') + m_program))
            return Platform::toolPath(original);
    const QString found = QStandardPaths::findExecutable(m_program);
    return found.isEmpty() ? m_program : found;
}
