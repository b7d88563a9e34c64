// mirracore: the conversion engine. Describes its inputs, and converts them to
// the output file when one is given. Every line it prints ends in CR LF.

#include "Console.h"
#include "Describe.h"
#include "InputFile.h"
#include "Options.h"
#include "Transcoder.h"

#include <csignal>
#include <memory>
#include <new>
#include <vector>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/log.h>
}

int main(int argc, char **argv)
{
    using namespace mirra;
    // A reader that went away must not kill a conversion half-way through a write.
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file size limit the write fails and is reported instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
    InstallLibraryLog(AV_LOG_QUIET);
    try {
        const CommandLine command = ParseCommandLine(argc, argv);
        InstallLibraryLog(command.logLevel);
        avdevice_register_all();

        std::vector<std::unique_ptr<InputFile>> inputs;
        for (size_t i = 0; i < command.inputs.size(); ++i) {
            inputs.push_back(std::make_unique<InputFile>(command.inputs[i], int(i)));
            DescribeInput(*inputs.back(), !command.hasOutput);
        }
        if (!command.hasOutput) {
            PrintLine("Must supply at least one output file");
            return 1;
        }
        Transcoder transcoder(command, inputs);
        transcoder.Run();
        return 0;
    } catch (const EngineError &e) {
        PrintLine(e.what());
    } catch (const std::bad_alloc &) {
        PrintLine("Out of memory");
    } catch (const std::exception &e) {
        PrintLine(std::string("Unexpected failure: ") + e.what());
    }
    return 1;
}
