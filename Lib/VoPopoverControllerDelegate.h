#pragma once
class VoPopoverController;

// Optional reports of a popover; popoverShouldClose may refuse a closing.
class VoPopoverControllerDelegate {
public:
    virtual ~VoPopoverControllerDelegate() = default;
    virtual bool popoverShouldClose(VoPopoverController *popover)
    {
        (void)popover;
        return true;
    }
    virtual void popoverWillShow(VoPopoverController *popover) { (void)popover; }
    virtual void popoverDidShow(VoPopoverController *popover) { (void)popover; }
    virtual void popoverWillClose(VoPopoverController *popover) { (void)popover; }
    virtual void popoverDidClose(VoPopoverController *popover) { (void)popover; }
};
