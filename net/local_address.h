#pragma once

// True when the text is a dotted IPv4 address of a private network: 10/8,
// 172.16/12, 192.168/16, or exactly 127.0.0.1. Anything that is not four
// decimal numbers 0..255 (no leading zeros) joined by dots is false.
bool IsLocalNetworkAddress(const char *text);
