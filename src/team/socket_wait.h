#pragma once

namespace zarvex::team {

// Waits until libpq's socket can be read (or written), at most
// `milliseconds`; false when the time ran out first. A socket error counts
// as ready: libpq then tells what went wrong.
bool WaitSocket(int socket, bool forWrite, int milliseconds);

}  // namespace zarvex::team
