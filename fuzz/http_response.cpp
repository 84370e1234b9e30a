// Reads arbitrary bytes as an HTTP response, fed in pieces whose size its first byte picks,
// and splits every Location value as a URL.
#include "net/HttpClient.h"
#include "net/HttpResponseReader.h"

#include <cstdint>
#include <cstdlib>

using namespace tabulonix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t piece = 1 + data[0] % 64 * 97;
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t remaining = size;

    THttpResponseReader reader;
    size_t bodyBytes = 0;
    reader.OnBody = [&](const char*, size_t n) {
        if (n == 0 || n > THttpResponseReader::LineBufferSize)
            std::abort();
        bodyBytes += n;
    };
    reader.OnHeaderEnd = [&] { return reader.StatusCode != 204; };
    while (remaining > 0) {
        size_t n = piece < remaining ? piece : remaining;
        reader.Feed(bytes, n);
        bytes += n;
        remaining -= n;
    }
    if (reader.HeaderLines.size() > THttpResponseReader::MaxHeaderLines || bodyBytes > size)
        std::abort();
    if (reader.LocationPending)
        ParseURL(reader.Location, "/a/b/");
    return 0;
}
