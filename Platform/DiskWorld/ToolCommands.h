#pragma once
// The stand-in tools' command lines. Each tool's main() only hands its
// arguments (without the program name) to one of these and returns the status.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Platform::DiskWorld
{

int diskutilMain(const QStringList &args);
int asrMain(const QStringList &args);
int hdiutilMain(const QStringList &args);
int diskworldMain(const QStringList &args);

// Unbuffered output: each call is one write(2), so a reader on a pipe gets it
// as it is written.
void writeOut(const QByteArray &data);
void writeErr(const QString &text);
QStringList argumentsOf(int argc, char **argv);

} // namespace Platform::DiskWorld
