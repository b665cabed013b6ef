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

// To the C library's own wide characters (UCS-4 in the machine's byte
// order): one conversion step, where code page 932 to UTF-8 takes two (iconv
// goes through UCS-4 anyway).
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

int fromCp932(const char*& in, std::size_t& inLeft, char32_t*& out, std::size_t room)
{
    thread_local Converter conv("WCHAR_T", "CP932");
    char* end = reinterpret_cast<char*>(out);
    std::size_t outLeft = room * sizeof(char32_t);
    const int err = conv.run(in, inLeft, end, outLeft);
    out = reinterpret_cast<char32_t*>(end);
    return err;
}

}  // namespace profile::sys
