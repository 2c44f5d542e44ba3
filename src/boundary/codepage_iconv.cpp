// Code-page conversion through iconv. Opening a descriptor costs far more
// than converting a field, and the 255-byte cuts ask for every character's
// width, so descriptors are kept open in a small pool and reused: each
// conversion borrows one for itself (a descriptor is never shared by two
// threads at once) and gives it back. The pool is an ordinary static object,
// so unloading the module closes them all; thread-local descriptors would keep
// a dlclose'd module loaded until its threads end.
#include "boundary/codepage_backend.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace priv::codepage {
namespace {

// iconv_open's failure value, (iconv_t)-1 by POSIX.
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)

enum class Direction { ToHost, FromHost };

struct Descriptor {
    std::string codePage;
    Direction direction = Direction::ToHost;
    iconv_t cd = kNoDescriptor;
};

class DescriptorPool {
public:
    DescriptorPool() = default;
    DescriptorPool(const DescriptorPool&) = delete;
    DescriptorPool& operator=(const DescriptorPool&) = delete;
    ~DescriptorPool()
    {
        for (const Descriptor& idle : idle_)
            iconv_close(idle.cd);
    }

    // An idle descriptor for the code page and direction, or a new one;
    // cd is kNoDescriptor when iconv does not know the code page.
    Descriptor Take(const std::string& codePage, Direction direction)
    {
        {
            const std::lock_guard lock(mutex_);
            for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
                if (it->direction == direction && it->codePage == codePage) {
                    Descriptor found = std::move(*it);
                    idle_.erase(std::next(it).base());
                    return found;
                }
            }
        }
        Descriptor opened{codePage, direction, kNoDescriptor};
        opened.cd = direction == Direction::ToHost ? iconv_open(codePage.c_str(), "UTF-8")
                                                   : iconv_open("UTF-8", codePage.c_str());
        return opened;
    }

    void GiveBack(Descriptor descriptor)
    {
        if (descriptor.cd == kNoDescriptor)
            return;
        // Back to its initial shift state for the next borrower.
        iconv(descriptor.cd, nullptr, nullptr, nullptr, nullptr);
        const std::lock_guard lock(mutex_);
        idle_.push_back(std::move(descriptor));
        // A few threads convert at a time; descriptors of a code page no
        // longer in use age out from the front.
        if (idle_.size() > kMaxIdle) {
            iconv_close(idle_.front().cd);
            idle_.erase(idle_.begin());
        }
    }

private:
    static constexpr std::size_t kMaxIdle = 8;
    std::mutex mutex_;
    std::vector<Descriptor> idle_;
};

DescriptorPool& Pool()
{
    static DescriptorPool pool;
    return pool;
}

// A descriptor borrowed for the length of one conversion.
class Borrowed {
public:
    Borrowed(const std::string& codePage, Direction direction) : descriptor_(Pool().Take(codePage, direction))
    {
    }
    Borrowed(const Borrowed&) = delete;
    Borrowed& operator=(const Borrowed&) = delete;
    ~Borrowed() { Pool().GiveBack(std::move(descriptor_)); }

    bool Known() const { return descriptor_.cd != kNoDescriptor; }
    iconv_t Get() const { return descriptor_.cd; }

private:
    Descriptor descriptor_;
};

// Runs iconv over the whole input; at a character it cannot convert, appends
// `replacement`, steps over `skip(lead byte)` bytes and goes on.
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
    const Borrowed descriptor(codePage, Direction::ToHost);
    if (!descriptor.Known()) {
        out.append(validUtf8);
        return;
    }
    // The input is well-formed, so iconv stops only at a character the code
    // page lacks; it becomes one "?".
    Convert(descriptor.Get(), validUtf8, "?", Utf8Length, out);
}

std::size_t FittingPrefix(std::string_view validUtf8, const std::string& codePage, std::size_t maxBytes,
                          std::size_t& hostBytes)
{
    const Borrowed descriptor(codePage, Direction::ToHost);
    std::string form;
    return MeasureFittingPrefix(validUtf8, maxBytes, hostBytes, [&](std::string_view character) {
        if (!descriptor.Known())
            return character.size(); // an unknown code page leaves the text as it is
        form.clear();
        Convert(descriptor.Get(), character, "?", Utf8Length, form);
        return form.size();
    });
}

void AppendUtf8Form(std::string_view hostBytes, const std::string& codePage, std::string_view replacement,
                    std::string& out)
{
    const Borrowed descriptor(codePage, Direction::FromHost);
    if (!descriptor.Known()) {
        out.append(hostBytes);
        return;
    }
    Convert(
        descriptor.Get(), hostBytes, replacement, [](unsigned char) { return std::size_t{1}; }, out);
}

} // namespace priv::codepage
