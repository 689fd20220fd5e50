#pragma once

#include "MyViewController.h"

// The content of the Pro popover: the same single text as the mobile one,
// a class of its own so that the layout and the counter can tell them apart.
class ProViewController : public MyViewController
{
    Q_OBJECT
public:
    using MyViewController::MyViewController;
};
