#include "cp932.h"

#include <iconv.h>

#include <cerrno>

namespace tessel {

std::string utf8FromCp932(std::string_view text)
{
    std::string out;
    bool ascii = true;
    for (char ch : text)
        ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    if (ascii)
        return std::string(text);

    // iconv descriptors are not shareable between threads; opening one per call keeps this
    // callable from any thread, and callers convert short texts only.
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(text);
    out.reserve(text.size() * 3 / 2 + 4);
    char *src = const_cast<char *>(text.data());
    size_t srcLeft = text.size();
    while (srcLeft > 0) {
        char chunk[256];
        char *dst = chunk;
        size_t dstLeft = sizeof chunk;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, dst - chunk);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // Not CP932 here (a lone lead byte, an unmapped pair): keep the byte as it is.
            out.push_back(*src);
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace tessel
