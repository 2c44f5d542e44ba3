// The built module as a host meets it: loaded with dlopen by its path, the
// exports found by name, and the writable parameter buffer in the host's code
// page that a host hands to an export. Header only: PRIV_MODULE_PATH is the
// test target's own definition (add_priv_test).
//
//     LoadedModule module;
//     ASSERT_NE(module.Handle(), nullptr) << dlerror();
//     HostBuffer buffer("pamCZY_DM=admin;pamPWD=pw");
//     EXPECT_TRUE(module.Call("LoadLoginForm", buffer));
//     EXPECT_EQ(buffer.Text(), "CZY_DM=admin;CZY_LB=0");
#pragma once

#include "boundary/codepage.h"

#include <privilege/privilege.h>

#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace priv::test {

// A host buffer: the parameter string in the host's code page, with room
// for the documented bound.
struct HostBuffer {
    explicit HostBuffer(const std::string& utf8) : bytes(PRIV_PARAM_BUFFER_SIZE, '\0')
    {
        const std::string host = Utf8ToHost(utf8);
        std::memcpy(bytes.data(), host.c_str(), host.size() + 1);
        argv[0] = bytes.data();
    }
    // What the buffer holds now, up to its zero, in UTF-8.
    std::string Text() const { return HostToUtf8(bytes.data()); }
    std::vector<char> bytes;
    char* argv[1] = {nullptr};
};

// Loaded on construction, unloaded on destruction.
class LoadedModule {
public:
    using BooleanExport = PrivBool (*)(int32_t, char**);
    using WindowExport = void (*)(void*, void*, char**);

    explicit LoadedModule(const char* path = PRIV_MODULE_PATH) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL))
    {
    }
    ~LoadedModule()
    {
        if (handle_)
            dlclose(handle_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // Null when it did not load (dlerror() says why).
    void* Handle() const { return handle_; }
    BooleanExport Boolean(const char* name) const
    {
        return handle_ ? reinterpret_cast<BooleanExport>(dlsym(handle_, name)) : nullptr;
    }
    WindowExport Window(const char* name) const
    {
        return handle_ ? reinterpret_cast<WindowExport>(dlsym(handle_, name)) : nullptr;
    }
    // Calls the boolean export `name` on the buffer; true when it answered 1.
    bool Call(const char* name, HostBuffer& buffer) const
    {
        const BooleanExport call = Boolean(name);
        return call && call(0, buffer.argv) == 1;
    }

private:
    void* handle_;
};

// The module loaded once for the whole test process and never unloaded: the
// windows its exports open live in its code, and a module unloaded under
// them would take their code away.
inline const LoadedModule& ProcessModule()
{
    static const LoadedModule* module = new LoadedModule; // kept to the end
    return *module;
}

} // namespace priv::test
