#include "ConvertModule.h"

#include "Console.h"

#include <climits>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace mirra {

namespace {

std::string moduleBesideProgram()
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = n > 0 ? std::string(self, size_t(n)) : std::string();
    folder = folder.substr(0, folder.rfind('/') + 1);
    return folder + "libmirracore-convert.so";
}

} // namespace

ConvertModule::ConvertModule()
{
    const std::string path = moduleBesideProgram();
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        throw EngineError("The engine's conversion module cannot be loaded: " + std::string(dlerror()));
    m_register = reinterpret_cast<RegisterFn>(dlsym(module, "MirraRegisterDevices"));
    m_convert = reinterpret_cast<ConvertFn>(dlsym(module, "MirraConvert"));
    if (!m_register || !m_convert)
        throw EngineError(path + " is not the engine's conversion module");
}

void ConvertModule::RegisterDevices()
{
    m_register();
}

void ConvertModule::Convert(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs)
{
    m_convert(command, inputs);
}

} // namespace mirra
