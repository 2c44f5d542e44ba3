// Code-page conversion through iconv. Each thread keeps its two descriptors
// open for as long as the code page stays the same: opening one costs far
// more than converting a field, and the 255-byte cuts ask for every
// character's width.
#include "boundary/codepage_backend.h"

#include <cerrno>
#include <iconv.h>

namespace priv::codepage {
namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

class Descriptor {
public:
    Descriptor(bool toHost) : toHost_(toHost) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Close(); }

    // The open descriptor for `codePage`, reset to its initial state; none
    // when iconv does not know the code page.
    iconv_t For(const std::string& codePage)
    {
        if (codePage != codePage_ || cd_ == kNoDescriptor) {
            Close();
            codePage_ = codePage;
            cd_ = toHost_ ? iconv_open(codePage.c_str(), "UTF-8") : iconv_open("UTF-8", codePage.c_str());
        }
        if (cd_ != kNoDescriptor)
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    void Close()
    {
        if (cd_ != kNoDescriptor)
            iconv_close(cd_);
        cd_ = kNoDescriptor;
    }

    bool toHost_;
    std::string codePage_;
    iconv_t cd_ = kNoDescriptor;
};

thread_local Descriptor toHostDescriptor(true);
thread_local Descriptor fromHostDescriptor(false);

std::size_t Utf8Length(unsigned char lead)
{
    if (lead < 0xE0)
        return 2;
    return lead < 0xF0 ? 3 : 4;
}

// Runs iconv over the whole input; at a character it cannot convert, appends
// `replacement`, steps over `skip(position)` bytes and goes on.
template <typename Skip>
void Convert(iconv_t cd, std::string_view input, std::string_view replacement, Skip skip, std::string& out)
{
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[512];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - outLeft);
        if (rc == static_cast<std::size_t>(-1) && error != E2BIG) {
            // EILSEQ, or EINVAL for an incomplete character at the end.
            std::size_t length = skip(static_cast<unsigned char>(*in));
            if (length > inLeft)
                length = inLeft;
            out.append(replacement);
            in += length;
            inLeft -= length;
        }
    }
}

} // namespace

void AppendHostForm(std::string_view validUtf8, const std::string& codePage, std::string& out)
{
    const iconv_t cd = toHostDescriptor.For(codePage);
    if (cd == kNoDescriptor) {
        out.append(validUtf8);
        return;
    }
    // The input is well-formed, so iconv stops only at a character the code
    // page lacks; it becomes one "?".
    Convert(cd, validUtf8, "?", Utf8Length, out);
}

void AppendUtf8Form(std::string_view hostBytes, const std::string& codePage, std::string_view replacement,
                    std::string& out)
{
    const iconv_t cd = fromHostDescriptor.For(codePage);
    if (cd == kNoDescriptor) {
        out.append(hostBytes);
        return;
    }
    Convert(
        cd, hostBytes, replacement, [](unsigned char) { return std::size_t{1}; }, out);
}

} // namespace priv::codepage
