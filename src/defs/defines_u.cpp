#include "defines_u.h"

std::int32_t NetAddress = 0;
bool SystemReady = false;
