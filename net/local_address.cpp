#include "net/local_address.h"

namespace {

// Reads the four numbers of a dotted address; false unless the whole text is
// exactly that.
bool ParseDottedAddress(const char *text, int parts[4])
{
    const char *p = text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (*p != '.') {
                return false;
            }
            ++p;
        }
        // No leading zeros: other readers take "010" as octal.
        if (p[0] == '0' && p[1] >= '0' && p[1] <= '9') {
            return false;
        }
        int value = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p - '0');
            ++digits;
            ++p;
            if (digits > 3 || value > 255) {
                return false;
            }
        }
        if (digits == 0) {
            return false;
        }
        parts[i] = value;
    }
    return *p == 0;
}

}  // namespace

bool IsLocalNetworkAddress(const char *text)
{
    int a[4];
    if (!text || !ParseDottedAddress(text, a)) {
        return false;
    }
    if (a[0] == 10) {
        return true;
    }
    if (a[0] == 172 && a[1] >= 16 && a[1] <= 31) {
        return true;
    }
    if (a[0] == 192 && a[1] == 168) {
        return true;
    }
    return a[0] == 127 && a[1] == 0 && a[2] == 0 && a[3] == 1;
}
