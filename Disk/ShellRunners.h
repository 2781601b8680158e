#pragma once
#include "RunnerResult.h"
#include "ToolCommand.h"

#include <QString>

// The runner family: each member runs one tool command with its standard
// output going into the member's own fixed file in the process's temporary
// directory, and returns that path. Every run first deletes the member's old
// output, so a failed run is never read as an earlier one's result; the new
// output is left behind for the next run to delete. Callers mostly judge the
// outcome from the output; the exit status is kept in RunnerResult for those
// that must tell a refusal from success.
//
// A command whose line ("<command> > <output path>") would not fit the
// runner's 2048-byte buffer, or whose own line does not fit the caller's
// buffer (ToolCommand::withBuffer), is not run; the old output is still
// deleted and the path still returned, so the caller finds no dictionary.
//
// The calls block until the tool has ended. Concurrent runs of one member
// each get their own output (RunnerResult::dictionary); the fixed name then
// holds the output of the run that ended last. Nothing is ever written
// through a link or a file another user left under the fixed name.

RunnerResult QoExecCommand(const ToolCommand &command);         // "QoTemp.plist"
RunnerResult AexecCommand(const ToolCommand &command);          // "AKestrovaTemp.plist"
RunnerResult eraserDiskCommand(const ToolCommand &command);     // "eraserDiskTemp.plist"
RunnerResult execCommand(const ToolCommand &command);           // "KestrovaTemp.plist"
RunnerResult eraserExecCommand(const ToolCommand &command);     // "eraserVolumeTemp.plist"
RunnerResult aepairExecCommand(const ToolCommand &command);     // "VastrelRepairTemp.plist"
RunnerResult changeNameExecCommand(const ToolCommand &command); // "VastrelChangeNameTemp.plist"
RunnerResult ejectExecCommand(const ToolCommand &command);      // "ejectExecCommandTemp.plist"

// The same with the output path given by the caller and a 4096-byte line
// buffer. Does nothing (null result) when the command or the path is null.
RunnerResult ZZDoCommand(const ToolCommand &command, const QString &outputPath);

// The folder of the members' fixed files: the temporary directory
// (QDir::tempPath()) unless a test set another one (empty: back to default).
QString QoRunnerDirectory();
void QoSetRunnerDirectory(const QString &directory);

// fileExistsAtPath:isDirectory: for a path of the original platform
// ("/Volumes/NewCloneSystem"), resolved under the system root: true when
// something exists there and it is a folder. False for a null path.
bool QoCheckFolderExist(const QString &path);
