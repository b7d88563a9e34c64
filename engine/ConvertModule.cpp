// The engine's conversion half, loaded by mirracore only when it converts: the
// filters and scalers it links cost more to load than a probe.
#include "ConvertModule.h"

#include "Targets.h"
#include "Transcoder.h"

extern "C" __attribute__((visibility("default"))) void MirraConvert(
    const mirra::CommandLine &command, std::vector<std::unique_ptr<mirra::InputFile>> &inputs)
{
    if (command.output.targets.Any()) {
        mirra::ConvertToTargets(command, inputs);
        return;
    }
    mirra::Transcoder transcoder(command, inputs);
    transcoder.Run();
}
