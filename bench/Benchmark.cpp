#include "Benchmark.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "MachineReading.h"
#include "OnSway.h"
#include "OnX.h"
#include "Report.h"
#include "ReportJson.h"
#include "ReportSvg.h"
#include "ReportTable.h"
#include "ReportTargets.h"

#ifndef PULSEWARD_KEY_CLIENT
#define PULSEWARD_KEY_CLIENT "pulseward_key_client"
#endif

namespace bench {

int runBenchmark(const Options& options) {
    char workTemplate[] = "/tmp/pulseward-bench.XXXXXX";
    if (!mkdtemp(workTemplate)) {
        throw std::runtime_error("cannot make a work folder");
    }
    const std::string work = workTemplate;
    bool keepWork = options.keep;
    RunResult run;
    run.machine = describeMachine();
    run.program = std::filesystem::absolute(options.program).string();
    run.commandLine = options.commandLine;
    run.seconds = options.seconds;
    if (access(run.program.c_str(), X_OK) != 0) {
        throw std::runtime_error("no program to run at " + run.program);
    }
    try {
        if (options.only.count("program-sway")) {
            run.subjects.push_back(
                measureOnSway(run.program, PULSEWARD_KEY_CLIENT, options.seconds, work));
        }
        if (std::any_of(options.only.begin(), options.only.end(),
                        [](const std::string& mode) { return mode != "program-sway"; })) {
            measureOnX(options, run, work);
        }
    } catch (...) {
        std::cerr << "pulseward_bench: logs kept in " << work << "\n";
        throw;
    }
    run.machine.loadAfter = loadAverage();

    std::cout << "\n";
    printTable(std::cout, run);
    printTargets(std::cout, run);
    std::cout << "\nReproduce: " << options.commandLine << "\n";

    const auto writeTo = [](const std::string& path, auto writer) {
        std::ofstream out(path);
        writer(out);
        if (!out) {
            throw std::runtime_error("cannot write " + path);
        }
    };
    std::string json = options.json, svg = options.svg;
    if (options.smoke) {
        json = json.empty() ? work + "/smoke.json" : json;
        svg = svg.empty() ? work + "/smoke.svg" : svg;
    }
    if (!json.empty()) {
        writeTo(json, [&](std::ostream& out) { writeJson(out, run); });
    }
    if (!svg.empty()) {
        writeTo(svg, [&](std::ostream& out) { writeSvg(out, run); });
    }

    int status = 0;
    if (options.smoke) {
        std::vector<std::string> missing = missingFigures(run);
        for (const auto& mode : allModes()) {
            const bool measured =
                mode == "stopped"
                    ? run.haveStopped
                    : std::any_of(run.subjects.begin(), run.subjects.end(),
                                  [&](const SubjectResult& s) { return s.id == mode; });
            if (options.only.count(mode) && !measured) {
                missing.push_back(mode + ": not measured");
            }
        }
        for (const auto& path : {json, svg}) {
            if (std::filesystem::file_size(path) == 0) {
                missing.push_back(path + " is empty");
            }
        }
        if (missing.empty()) {
            std::cout << "\nsmoke: every figure was produced\n";
        } else {
            std::cout << "\nsmoke: missing figures:\n";
            for (const auto& m : missing) {
                std::cout << "  " << m << "\n";
            }
            status = 1;
            keepWork = true;
        }
    }
    if (keepWork) {
        std::cerr << "work folder kept: " << work << "\n";
    } else {
        std::filesystem::remove_all(work);
    }
    return status;
}

}  // namespace bench
