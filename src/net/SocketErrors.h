#pragma once
#include <string>

namespace tabulonix {

// Socket error numbers use the WinSock numbering throughout (10000 + the BSD error number,
// 11001 to 11004 for name resolution), so codes and texts are the same on every system.
std::string SocketErrorDesc(int code);
// The socket error number of the same meaning as a native errno value.
int ErrnoToSocketError(int err);
// The socket error number of a getaddrinfo() failure.
int ResolverErrorToSocketError(int gaiError, int err);

} // namespace tabulonix
