// Stand-in so the library links until the stream lands.
#include "core/data_stream.h"
