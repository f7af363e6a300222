// Fuzz target: the parameter file reader and the command's check of it on arbitrary content,
// then the writers, then the reader again on what was written.
// - The library's own file reads back whenever the engine's stored cluster type is 0 or 1
//   (the stored number may differ from the engine's class: a "cluster_type=" line in
//   "[cluster]" sets the number, the last such line anywhere picks the class).
// - The command's file of the settings read reads back to exactly them, without a finding,
//   whenever its names can stand in a parameter file at all.
#include <cstddef>
#include <cstdint>
#include <string>

#include "speclink/cli/ParameterCheck.h"
#include "speclink/library/common/LowerCase.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/params/Settings.h"
#include "speclink/tests/fuzz/FuzzSupport.h"

namespace {

// A name the command can write on a line of its own: no comment, section header or key
// inside it, and short enough for one line buffer.
bool Writable(const std::string& name) {
    return name.size() < 200 && name.find_first_of("#[=\r\n") == std::string::npos && name == speclink::LowerCase(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using speclink::fuzz::Require;
    const auto& scratch = speclink::fuzz::Scratch();
    const std::string path = scratch.Write("input.param", data, size);
    if (const auto reading = speclink::ParameterFileReading::Read(path)) {
        const auto findings = speclink::cli::CheckParameterFile(*reading);
        Require(!speclink::cli::FormatFindings(path, findings).empty() || findings.empty(), "a finding without text");
    }
    speclink::CPara para;
    if (!para.ReadParaFile(path)) return 0;
    Require(para.engine != nullptr && para.similarity != nullptr && para.peak_select != nullptr &&
                para.spectra_process != nullptr && para.representative_spectra != nullptr,
            "a successful read leaves an object missing");

    const speclink::Settings settings = speclink::Settings::Of(para);
    if (Writable(settings.data_directory) && Writable(settings.out_directory) && Writable(settings.cluster_result) &&
        (settings.cluster_type == speclink::CLUSTER_HIERARCHICAL || settings.cluster_type == speclink::CLUSTER_MODIFICATION)) {
        const std::string text = speclink::SettingsFileText(settings);
        const std::string exact = scratch.Write("exact.param", reinterpret_cast<const uint8_t*>(text.data()), text.size());
        const auto reading = speclink::ParameterFileReading::Read(exact);
        Require(reading && reading->settings() == settings, "the command's parameter file does not read back");
        Require(speclink::cli::CheckParameterFile(*reading).empty(), "the command's parameter file has findings");
    }

    const std::string written = (scratch.path() / "written.param").string();
    if (!para.WriteParaFile(written)) return 0;
    const int32_t type = para.engine->cluster_type;
    if (type != speclink::CLUSTER_HIERARCHICAL && type != speclink::CLUSTER_MODIFICATION) return 0;
    speclink::CPara again;
    Require(again.ReadParaFile(written), "a written parameter file does not read back");
    Require(again.engine->cluster_type == para.engine->cluster_type, "cluster type lost in a round trip");
    return 0;
}
