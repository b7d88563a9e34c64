#include "ConvertModule.h"

#include "Console.h"

#include <climits>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace mirra {

namespace {

// The entry point `symbol` of the module `file` beside the program.
void *loadEntry(const char *file, const char *symbol, const char *what)
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, size_t(n)) : std::string();
    path = path.substr(0, path.rfind('/') + 1) + file;
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        throw EngineError(std::string("The engine's ") + what + " cannot be loaded: " + dlerror());
    void *entry = dlsym(module, symbol);
    if (!entry)
        throw EngineError(path + " is not the engine's " + what);
    return entry;
}

} // namespace

ConvertModule::ConvertModule()
    : m_convert(reinterpret_cast<ConvertFn>(loadEntry("libmirracore-convert.so", "MirraConvert", "conversion module")))
{
}

void RegisterDevices()
{
    reinterpret_cast<void (*)()>(loadEntry("libmirracore-devices.so", "MirraRegisterDevices", "device module"))();
}

void ConvertModule::Convert(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs)
{
    m_convert(command, inputs);
}

} // namespace mirra
