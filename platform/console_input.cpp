#include "platform/console_input.h"

#include <cstring>

#include <errno.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int InputBufferSize = 1024;

char InputBuffer[InputBufferSize];
int InputLength = 0;
bool InputEnded = false;
bool DroppingLineRest = false;  // the start of an overlong line was handed out

// Takes what standard input holds now, without waiting.
void FillInput()
{
    if (InputEnded || InputLength >= InputBufferSize) {
        return;
    }
    pollfd input{};
    input.fd = STDIN_FILENO;
    input.events = POLLIN;
    if (poll(&input, 1, 0) <= 0) {
        return;
    }
    if (input.revents & (POLLERR | POLLNVAL)) {
        InputEnded = true;
        return;
    }
    if (!(input.revents & (POLLIN | POLLHUP))) {
        return;
    }
    const ssize_t got = read(STDIN_FILENO, InputBuffer + InputLength, InputBufferSize - InputLength);
    if (got > 0) {
        InputLength += static_cast<int>(got);
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        InputEnded = true;
    }
}

// Moves the first `length` characters to out (cut to its size) and drops
// them and the `skip` characters after them from the buffer.
void TakeLine(char *out, int size, int length, int skip)
{
    int copy = length;
    if (copy > 0 && InputBuffer[copy - 1] == '\r') {
        --copy;
    }
    if (copy > size - 1) {
        copy = size - 1;
    }
    std::memcpy(out, InputBuffer, static_cast<size_t>(copy));
    out[copy] = 0;
    const int used = length + skip;
    std::memmove(InputBuffer, InputBuffer + used, static_cast<size_t>(InputLength - used));
    InputLength -= used;
}

}  // namespace

bool PlatformReadConsoleLine(char *out, int size)
{
    if (!out || size <= 0) {
        return false;
    }
    FillInput();
    if (DroppingLineRest) {
        const void *lineEnd = std::memchr(InputBuffer, '\n', static_cast<size_t>(InputLength));
        if (!lineEnd) {
            InputLength = 0;
            return false;
        }
        char rest[1];
        TakeLine(rest, 1, static_cast<int>(static_cast<const char *>(lineEnd) - InputBuffer), 1);
        DroppingLineRest = false;
    }
    const void *end = std::memchr(InputBuffer, '\n', static_cast<size_t>(InputLength));
    if (end) {
        TakeLine(out, size, static_cast<int>(static_cast<const char *>(end) - InputBuffer), 1);
        return true;
    }
    // A full buffer without a line end, or the input's last line.
    if (InputLength >= InputBufferSize || (InputEnded && InputLength > 0)) {
        DroppingLineRest = !InputEnded;
        TakeLine(out, size, InputLength, 0);
        return true;
    }
    return false;
}
