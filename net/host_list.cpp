#include "net/host_list.h"

// No host list is ever received yet.
void ClearHostRecords()
{
}
