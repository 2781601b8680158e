#pragma once
// The stand-in tools' command lines. Each tool's main() only hands its
// arguments (without the program name) to one of these and returns the status.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Platform::DiskWorld {

int diskutilMain(const QStringList &args);
int asrMain(const QStringList &args);
int hdiutilMain(const QStringList &args);
int diskworldMain(const QStringList &args);

// Unbuffered output: each call is one write(2), so a reader on a pipe gets it
// as it is written.
void writeOut(const QByteArray &data);
void writeErr(const QString &text);
QStringList argumentsOf(int argc, char **argv);
// False for an argument argumentsOf got as bytes that are not valid UTF-8 (its
// text then holds replacement characters, not the bytes that were given).
bool isUtf8Argument(const QString &argument);
// The refusal of a volume name that is not valid UTF-8: writes the message, gives the status.
int refuseNonUtf8Name(const QString &tool);

} // namespace Platform::DiskWorld
