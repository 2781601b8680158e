#pragma once
#include "_tagBootableProgress.h"

#include <QString>
#include <QVariant>

// What the clone engine tells its owner (the OS Clone page). Every method is
// optional: a delegate names the ones it implements in implementedMethods(),
// and the engine sends only those (the empty bodies stand for the rest). All
// calls arrive on the main thread, in the order the reports were made.
class QoBootableDelegate {
public:
    enum Method : unsigned {
        MethodQoUINotify = 1u << 0,
        MethodChangeProLabelValue = 1u << 1,
        MethodChangeProTimeWithTag = 1u << 2,
        MethodQoUSBDataWillEarse = 1u << 3,
        MethodQoEnumUSBFinish = 1u << 4,
    };

    virtual ~QoBootableDelegate() = default;

    // The methods below that this delegate implements, as a mask of Method.
    // None unless the delegate says so.
    virtual unsigned implementedMethods() const { return 0; }
    bool respondsTo(Method method) const { return (implementedMethods() & method) != 0; }

    // The step reached, with an error code (negative: the run has failed).
    virtual void QoUINotify(const _tagBootableProgress *progress) { (void)progress; }
    // A status line to show (a null string: an empty line).
    virtual void changeProLabelValue(const QString &value) { (void)value; }
    // Tens of percent (tag 1 … 10) of copying phase 1 or 2 of the restore.
    virtual void changeProTimeWithTag(int tag, int withStep)
    {
        (void)tag;
        (void)withStep;
    }
    // Declared for the USB listing; the engine's flows never send them.
    virtual void QoUSBDataWillEarse(const QVariant &usbObj) { (void)usbObj; }
    virtual void QoEnumUSBFinish() {}
};
