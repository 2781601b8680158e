#pragma once
#include <QString>
#include <QtGlobal>

// What the image and archive engine tells its owner (the Disk Image page).
// Every method is optional: the empty bodies stand for the ones a delegate
// leaves out. The first report of a disk image job comes on the thread that
// started it; every other report comes on the main thread. After a stop the
// engine reports nothing more for that job.
class MakeDmgDelegate {
public:
    virtual ~MakeDmgDelegate() = default;

    // A status text and a percentage; 100 or more means the job is finished
    // and its image or archive is complete.
    virtual void copyFileToDmgWithFileName(const QString &fileName, float Withprogress)
    {
        Q_UNUSED(fileName);
        Q_UNUSED(Withprogress);
    }
    // The empty image is mounted; the owner answers with doCopyFilesToDmgWithDmg.
    virtual void beginToCopyDmg() {}
    // The job has failed (always 0): no image or archive was made whole.
    virtual void makeDmgFailWithError(qint32 error) { Q_UNUSED(error); }
};
