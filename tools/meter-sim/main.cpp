// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the simulated meter: reads the options, prepares the meter,
// its logger memory and any scripted frames, then hands over to the event loop.
#include "FrameScript.h"
#include "MeterEngine.h"
#include "SimOptions.h"
#include "SimServer.h"

#include <cstdio>

using namespace vandrel::sim;

int main(int argc, char **argv)
{
    SimOptions options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "vandrel-meter-sim: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }

    const ModelInfo &model = *findModel(options.model);
    Bytes memory;
    if (!options.memoryFile.empty()) {
        if (!loadMemoryFile(options.memoryFile, memory, error)) {
            std::fprintf(stderr, "vandrel-meter-sim: %s\n", error.c_str());
            return 2;
        }
    } else {
        memory = buildMemory(plausibleSets(options.sets, options.seed), model.sampleSize);
    }

    MeterEngine engine(SimMeter(model, options.suffix, options.seed), std::move(memory), options.seed + 1);
    if (!options.framesFile.empty()) {
        std::vector<Bytes> frames;
        if (!loadFrameScript(options.framesFile, frames, error)) {
            std::fprintf(stderr, "vandrel-meter-sim: %s\n", error.c_str());
            return 2;
        }
        engine.setScript(std::move(frames));
    }
    EngineFaults &faults = engine.faults();
    faults.noIdentification = options.noIdentification;
    faults.identifyDelay = std::chrono::milliseconds(options.identifyDelayMs);
    faults.garbage = options.garbage;
    faults.download = {options.corruptBlock, options.corruptTimes, options.stopAfter};
    if (options.silenceSeconds > 0.0)
        faults.silentUntil = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(options.silenceSeconds));

    SimServer server(std::move(options), std::move(engine));
    return server.run();
}
