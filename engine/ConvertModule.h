#pragma once
// The entry points of the engine's conversion module (libmirracore-convert.so) and
// their loader. The module lives beside the mirracore program.

#include "InputFile.h"
#include "Options.h"

#include <memory>
#include <vector>

namespace mirra {

class ConvertModule
{
public:
    // Throws EngineError naming the file when the module cannot be loaded.
    ConvertModule();
    // Demuxers of capture devices and lavfi test sources; before inputs are opened.
    void RegisterDevices();
    // Throws EngineError; a partly written output file is removed again.
    void Convert(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs);

private:
    using RegisterFn = void (*)();
    using ConvertFn = void (*)(const CommandLine &, std::vector<std::unique_ptr<InputFile>> &);
    RegisterFn m_register = nullptr;
    ConvertFn m_convert = nullptr;
};

} // namespace mirra
