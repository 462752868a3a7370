#include "ui/interface_hooks.h"

#include "core/data_stream.h"
#include "ui/text_box.h"

void InitInterfaceHooks()
{
    SetDataStreamErrorDisplay(ShowTextBox2);
}
