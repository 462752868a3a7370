#include "ui/interface_items.h"

// No page adds items yet, so the table is always empty and no drag can run.

void BeginInterfaceFrame()
{
}

int EndItemDrag()
{
    return 0;
}
