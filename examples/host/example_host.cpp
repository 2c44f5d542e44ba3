// An example host: what a host application does to sign an operator in
// without a window, publish him to the rest of the host and narrow its product
// list to what his post may use. It opens the substitute host framework
// (libfennix) on a database and loads the privilege module at run time.
//
//   example_host APP_DIR DATABASE_URL COMPANY CODE PASSWORD [PRODUCT...]
//
// APP_DIR is the host's folder with its applications file apps.json (as
// `privhost init` leaves it); DATABASE_URL is sqlite:PATH or
// postgresql://user@host:port/db. Each call prints its export, its answer
// (1 or 0) and the buffer after the call; then every withdrawn product.
// Exit status: 0 when every call answered 1, 1 when one answered 0, 2 when
// the host could not start.
#include <fennix/fennix.h>
#include <privilege/privilege.h>

#include <QApplication>

#include <dlfcn.h>
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The module reads and writes the host's code page, GBK; this host's own
// texts (arguments, terminal) are UTF-8.
std::string Convert(const std::string& text, const char* from, const char* to)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* target = out.data();
    std::size_t outLeft = out.size();
    const bool ok = iconv(converter, &in, &inLeft, &target, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    if (!ok)
        return text;
    out.resize(out.size() - outLeft);
    return out;
}

using BooleanExport = PrivBool(PRIV_CALL*)(int32_t, char**);

// Calls one Boolean export with a writable buffer of the size the module
// documents, prints the buffer as the module left it and hands it back in
// `after` (UTF-8).
bool Call(void* module, const char* name, const std::string& params, std::string& after)
{
    const auto function = reinterpret_cast<BooleanExport>(dlsym(module, name));
    if (!function) {
        std::fprintf(stderr, "example_host: the module has no export %s\n", name);
        return false;
    }
    const std::string hostText = Convert(params, "UTF-8", "GBK");
    std::vector<char> buffer(PRIV_PARAM_BUFFER_SIZE, '\0');
    if (hostText.size() >= buffer.size()) {
        std::fprintf(stderr, "example_host: the parameters of %s do not fit the buffer\n", name);
        return false;
    }
    std::memcpy(buffer.data(), hostText.c_str(), hostText.size() + 1);
    char* argv[] = {buffer.data()};
    const bool answer = function(1, argv) != 0;
    after = Convert(buffer.data(), "GBK", "UTF-8");
    std::printf("%s %d %s\n", name, answer ? 1 : 0, after.c_str());
    return answer;
}

// A value of a parameter string, with '=' and ';' escaped as the module reads them.
std::string Escaped(const std::string& value)
{
    std::string out;
    for (const char c : value) {
        if (c == '=')
            out += "&eq%";
        else if (c == ';')
            out += "&lim%";
        else
            out += c;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: example_host APP_DIR DATABASE_URL COMPANY CODE PASSWORD [PRODUCT...]\n");
        return 2;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The host owns the application object; the module's windows share it.
    // Signing in without a window needs no screen: without a display the
    // application runs on the offscreen platform.
    const auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return !value || !*value;
    };
    if (unset("DISPLAY") && unset("WAYLAND_DISPLAY") && unset("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);

    fennix::Settings settings;
    settings.appDir = args[0];
    settings.appsFile = args[0] + "/apps.json";
    settings.databaseUrl = args[1];
    settings.companyId = args[2];
    std::string error;
    if (!fennix::Open(settings, error)) {
        std::fprintf(stderr, "example_host: cannot open %s: %s\n", settings.databaseUrl.c_str(),
                     error.c_str());
        return 2;
    }

    // The module by its installed name; the platform's loader finds it.
    void* module = dlopen(PRIVILEGE_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        std::fprintf(stderr, "example_host: cannot load %s: %s\n", PRIVILEGE_MODULE_FILE, dlerror());
        fennix::Close();
        return 2;
    }

    std::string products;
    for (std::size_t i = 5; i < args.size(); ++i)
        products += (products.empty() ? "" : "\r\n") + args[i];

    // The calling order the module expects: sign in, publish, filter. The
    // sign-in answers CZY_DM=<code>;CZY_LB=<post>; publishing reads CZY_DM
    // from that very text.
    std::string signedIn, published, filtered;
    bool allTrue = Call(module, "LoadLoginForm",
                        std::string(PRIV_KEY_LOGIN_CODE) + "=" + Escaped(args[3]) + ";" +
                            PRIV_KEY_LOGIN_PASSWORD + "=" + Escaped(args[4]),
                        signedIn);
    allTrue = allTrue && Call(module, "InitGlobalUserInfo", signedIn, published);
    allTrue = allTrue && Call(module, "FilterUserAuthrz",
                              std::string(PRIV_KEY_PRODUCT_LIST) + "=" + Escaped(products), filtered);
    for (const std::string& product : fennix::WithdrawnProducts())
        std::printf("withdrawn-product %s\n", product.c_str());

    // The host's records own the module's session object: free them while
    // the module's code is still loaded.
    fennix::Close();
    dlclose(module);
    return allTrue ? 0 : 1;
}
