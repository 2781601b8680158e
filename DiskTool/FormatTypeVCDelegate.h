#pragma once

// What the file-system type menu tells the confirmation that opened it.
class FormatTypeVCDelegate {
public:
    virtual ~FormatTypeVCDelegate() = default;
    // false: the pointer went into the menu; true: it left (or a type was chosen).
    virtual void mouseEixtView(bool exited) { (void)exited; }
    // The index of the clicked row in FormatTypeViewController::formatTypes().
    virtual void selectFormatbyType(int type) { (void)type; }
};
