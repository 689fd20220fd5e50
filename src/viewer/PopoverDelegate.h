#pragma once

class Popover;
class QWidget;

// Told about a popover's showing and closing. Every operation has a default
// that does nothing; popoverDidClose() may schedule the popover's deletion
// (deleteLater), never delete it at once.
class PopoverDelegate
{
public:
    virtual ~PopoverDelegate() = default;

    virtual void popoverWillShow(Popover *) {}
    virtual void popoverDidShow(Popover *) {}
    virtual void popoverWillClose(Popover *) {}
    virtual void popoverDidClose(Popover *) {}
    // The window a popover becomes when the user drags it off; nullptr
    // keeps the popover attached.
    virtual QWidget *detachableWindowForPopover(Popover *) { return nullptr; }
};
