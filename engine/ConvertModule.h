#pragma once
// The engine's modules, beside the mirracore program: the conversion half
// (libmirracore-convert.so) and the capture devices (libmirracore-devices.so).

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
    // Throws EngineError; a partly written output file is removed again.
    void Convert(const CommandLine &command, std::vector<std::unique_ptr<InputFile>> &inputs);

private:
    using ConvertFn = void (*)(const CommandLine &, std::vector<std::unique_ptr<InputFile>> &);
    ConvertFn m_convert = nullptr;
};

// Demuxers of capture devices and lavfi test sources; before inputs are opened.
// Throws EngineError when the module cannot be loaded.
void RegisterDevices();

} // namespace mirra
