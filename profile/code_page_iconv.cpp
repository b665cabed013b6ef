// Code page 932 through iconv ("CP932", the C library's own tables).
#include "code_page_system.h"

#include <cerrno>
#include <iconv.h>

namespace profile::sys {
namespace {

// One iconv conversion descriptor per direction and thread, opened on first
// use and reset before every conversion (iconv_open costs far more than a
// short conversion, and a read converts a few names and one value).
class Converter {
public:
    Converter(const char* to, const char* from)
        : cd_(iconv_open(to, from))
    {
    }
    ~Converter()
    {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in+inLeft) as it can into [out, out+outLeft);
    // advances the pointers. Returns 0 on success, else the errno of the stop.
    int run(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft)
    {
        if (!ok())
            return EINVAL;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);  // iconv's prototype is not const-correct
        std::size_t r = iconv(cd_, &src, &inLeft, &out, &outLeft);
        int err = r == static_cast<std::size_t>(-1) ? errno : 0;
        in = src;
        return err;
    }

private:
    iconv_t cd_;
};

// To the C library's own wide characters (UCS-4 in the machine's byte order).
static_assert(sizeof(wchar_t) == sizeof(char32_t));

}  // namespace

std::ptrdiff_t toCp932(std::string_view utf8, char* out)
{
    thread_local Converter conv("CP932", "UTF-8");
    const char* in = utf8.data();
    std::size_t inLeft = utf8.size();
    char* end = out;
    std::size_t outLeft = utf8.size();
    if (conv.run(in, inLeft, end, outLeft) != 0)
        return -1;
    return end - out;
}

char32_t cp932Character(std::string_view bytes)
{
    thread_local Converter conv("WCHAR_T", "CP932");
    const char* in = bytes.data();
    std::size_t inLeft = bytes.size();
    wchar_t wide[2] = {};
    char* out = reinterpret_cast<char*>(wide);
    std::size_t outLeft = sizeof wide;
    const bool one = conv.run(in, inLeft, out, outLeft) == 0 && outLeft == sizeof wide - sizeof(wchar_t);
    return one ? char32_t(wide[0]) : 0;
}

}  // namespace profile::sys
