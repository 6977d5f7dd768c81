// sitepack: turns the readable catalogue source into sitelist.dat and back, and converts
// other delivered text files to CP932.
//
//   sitepack pack   in.txt  out.dat   UTF-8 text -> CP932, every byte complemented
//   sitepack unpack in.dat  out.txt   the reverse, so any sitelist.dat can be read and edited
//   sitepack cp932  in.txt  out       UTF-8 text -> CP932 only
//
// Text that CP932 can't hold is an error: a catalogue must never be packed with holes.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool readFile(const char *path, std::string &out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const char *path, const std::string &data)
{
    std::string temp = std::string(path) + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.write(data.data(), static_cast<std::streamsize>(data.size())))
            return false;
    }
    return std::rename(temp.c_str(), path) == 0;
}

bool convert(const char *to, const char *from, const std::string &in, std::string &out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.assign(in.size() * 4 + 16, '\0');
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size();
    char *dst = out.data();
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        size_t offset = in.size() - srcLeft;
        std::fprintf(stderr, "sitepack: can't convert byte %zu (%s)\n", offset,
                     std::strerror(errno));
        return false;
    }
    out.resize(out.size() - dstLeft);
    return true;
}

void complement(std::string &data)
{
    for (char &c : data)
        c = static_cast<char>(~static_cast<unsigned char>(c));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: sitepack pack|unpack|cp932 IN OUT\n");
        return 2;
    }
    std::string mode = argv[1], in, out;
    if (!readFile(argv[2], in)) {
        std::fprintf(stderr, "sitepack: can't read %s\n", argv[2]);
        return 1;
    }
    if (mode == "pack" || mode == "cp932") {
        if (!convert("CP932", "UTF-8", in, out))
            return 1;
        if (mode == "pack")
            complement(out);
    } else if (mode == "unpack") {
        complement(in);
        if (!convert("UTF-8", "CP932", in, out))
            return 1;
    } else {
        std::fprintf(stderr, "sitepack: unknown mode %s\n", mode.c_str());
        return 2;
    }
    if (!writeFile(argv[3], out)) {
        std::fprintf(stderr, "sitepack: can't write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
